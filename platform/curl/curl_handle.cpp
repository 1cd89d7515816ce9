#include "platform/curl/curl_handle.h"

#include <mutex>

namespace kx::curl {

namespace {

std::string optionName(CURLoption option) {
    const curl_easyoption* described = curl_easy_option_by_id(option);
    return described != nullptr ? std::string("CURLOPT_") + described->name
                                : "option " + std::to_string(static_cast<int>(option));
}

}  // namespace

void initialiseOnce() {
    // curl_global_init is not thread-safe on every libcurl build; it must run once, before any
    // handle exists.
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (result != CURLE_OK) {
        throw SetupError(result, std::string("the HTTP library could not be initialised (") +
                                     curl_easy_strerror(result) + ")");
    }
}

EasyHandle::EasyHandle(const HandleSettings& settings) {
    initialiseOnce();
    handle_.reset(curl_easy_init());
    if (!handle_) {
        throw SetupError(CURLE_FAILED_INIT, "the HTTP library gave no transfer handle");
    }
    configure(settings);
}

void EasyHandle::reconfigure(const HandleSettings& settings) {
    curl_easy_reset(handle_.get());
    configure(settings);
}

void EasyHandle::configure(const HandleSettings& settings) {
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_SSL_VERIFYPEER, 1L);
    set(CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) {
        set(CURLOPT_CAINFO, settings.caFile.c_str());  // libcurl keeps its own copy
    }
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connectTimeout.count()));
    switch (settings.proxy.mode) {
        case ProxyMode::Preconfigured:
            break;  // libcurl reads the variables itself
        case ProxyMode::Direct:
            set(CURLOPT_PROXY, "");
            break;
        case ProxyMode::Named:
            set(CURLOPT_PROXY, settings.proxy.server.c_str());
            set(CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
            set(CURLOPT_NOPROXY, "");
            break;
    }
}

void EasyHandle::check(CURLcode result, CURLoption option) {
    if (result != CURLE_OK) {
        throw SetupError(result, "the HTTP library rejected " + optionName(option) + " (" +
                                     curl_easy_strerror(result) + ")");
    }
}

void HeaderList::append(std::string_view line) {
    curl_slist* grown = curl_slist_append(list_.get(), std::string(line).c_str());
    if (grown == nullptr) {
        throw SetupError(CURLE_OUT_OF_MEMORY, "the HTTP library could not add a header line");
    }
    // On success libcurl returns the same list head (or the new one when the list was empty).
    static_cast<void>(list_.release());
    list_.reset(grown);
}

}  // namespace kx::curl
