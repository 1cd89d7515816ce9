#pragma once
// The programs' one libcurl set-up: the library initialised once per process, easy handles and
// header lists owned by objects that free them, every option's result checked, and a handle
// configured by one set of rules:
//   - http and https only; no signals (handles are used on any thread); redirects never followed
//     (an answer goes to the caller as it is, and nothing is sent to a host the caller did not
//     name);
//   - https verifies the peer's certificate and host name against `caFile` (a PEM file), or the
//     system's store when it is empty;
//   - proxies as ProxyChoice says, by default from http_proxy, https_proxy and no_proxy;
//   - the connection must be made within `connectTimeout`.
// What differs between callers (time-outs of the whole transfer, the HTTP version, callbacks,
// the body) each caller sets on the handle with set(), checked like the rest.

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kx::curl {

// A step of the set-up failed: libcurl could not be initialised, gave no handle or header list,
// or rejected an option (the text names the option). code() is libcurl's result.
class SetupError : public std::runtime_error {
  public:
    SetupError(CURLcode code, const std::string& what) : std::runtime_error(what), code_(code) {}
    CURLcode code() const noexcept { return code_; }

  private:
    CURLcode code_;
};

// Initialises libcurl for the process the first time it is called (thread-safe); later calls
// report the first call's result. Throws SetupError when the initialisation failed.
void initialiseOnce();

enum class ProxyMode {
    Preconfigured,  // http_proxy, https_proxy, no_proxy, as libcurl reads them
    Direct,         // no proxy at all, whatever the environment says
    Named,          // every request through the HTTP proxy `server`, no bypass list
};

struct ProxyChoice {
    ProxyMode mode = ProxyMode::Preconfigured;
    std::string server;  // "host:port" or a proxy URL, for ProxyMode::Named
};

struct HandleSettings {
    std::string caFile;  // "" : the system's certificate store
    std::chrono::milliseconds connectTimeout{30'000};
    ProxyChoice proxy;
};

// An easy handle, cleaned up with the object.
class EasyHandle {
  public:
    // Initialises libcurl (initialiseOnce), creates a handle and configures it by `settings`.
    // Throws SetupError.
    explicit EasyHandle(const HandleSettings& settings);

    CURL* get() const noexcept { return handle_.get(); }

    // curl_easy_setopt, with a rejected option thrown as SetupError naming it.
    template <typename Value>
    void set(CURLoption option, Value value) {
        check(curl_easy_setopt(handle_.get(), option, value), option);
    }

    // Forgets every option set so far (curl_easy_reset) and configures the handle again, for a
    // handle that serves several requests one after another. Throws SetupError.
    void reconfigure(const HandleSettings& settings);

  private:
    struct Cleanup {
        void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
    };
    void configure(const HandleSettings& settings);
    static void check(CURLcode result, CURLoption option);

    std::unique_ptr<CURL, Cleanup> handle_;
};

// A list of request header lines ("Name: value", or "Name:" to suppress a header libcurl adds),
// freed with the object.
class HeaderList {
  public:
    HeaderList() = default;
    // Adds a line; throws SetupError when libcurl cannot copy it.
    void append(std::string_view line);
    // Null while the list is empty, which libcurl takes as "no extra headers".
    curl_slist* get() const noexcept { return list_.get(); }

  private:
    struct Free {
        void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
    };
    std::unique_ptr<curl_slist, Free> list_;
};

}  // namespace kx::curl
