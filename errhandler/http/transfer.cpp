#include "errhandler/http/transfer.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include "errhandler/http/library_identity.h"
#include "errhandler/http/status_pattern.h"
#include "errhandler/http/transfer_url.h"
#include "errhandler/http/url_encode.h"
#include "errhandler/http/wininet_errors.h"

namespace kx::errhandler {
namespace {

// Raised when the local file of GetURLToFile cannot be opened; reported apart from other errors.
class LocalFileOpenFailure : public RuntimeError {
  public:
    explicit LocalFileOpenFailure(std::int32_t number) : RuntimeError(number) {}
};

std::int32_t openErrorNumber(int error) {
    return (error == ENOENT || error == ENOTDIR) ? 76 : vberr::kPathFileAccessError;
}

[[noreturn]] void raiseWriteError(int error) {
    raiseError(error == ENOSPC ? 61 : 57);  // "Disk full", "Device I/O error"
}

}  // namespace

// Where an accepted body goes. begin() runs once, before the first piece (also for an empty body);
// finish() once the whole body has arrived. Each may raise a RuntimeError.
class Transfer::BodySink {
  public:
    virtual ~BodySink() = default;
    virtual void begin() {}
    virtual void append(std::string_view chunk) = 0;
    virtual void finish() {}
};

class Transfer::MemorySink : public BodySink {
  public:
    explicit MemorySink(std::size_t limit) : limit_(limit) {}
    void append(std::string_view chunk) override {
        if (chunk.size() > limit_ - body_.size()) {
            raiseError(7);  // "Out of memory": the answer is larger than we agree to hold
        }
        body_.append(chunk);
    }
    std::string take() { return std::move(body_); }

  private:
    std::size_t limit_;
    std::string body_;
};

class Transfer::FileSink : public BodySink {
  public:
    explicit FileSink(std::string path) : path_(std::move(path)) {}
    ~FileSink() override {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    void begin() override {
        // Truncating: a shorter download must not leave the tail of an older file behind.
        file_ = std::fopen(path_.c_str(), "wb");
        if (file_ == nullptr) {
            throw LocalFileOpenFailure(openErrorNumber(errno));
        }
    }
    void append(std::string_view chunk) override {
        if (std::fwrite(chunk.data(), 1, chunk.size(), file_) != chunk.size()) {
            raiseWriteError(errno);
        }
    }
    void finish() override {
        std::FILE* file = file_;
        file_ = nullptr;
        if (std::fclose(file) != 0) {
            raiseWriteError(errno);
        }
    }

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

Transfer::Transfer(TransferOptions options) : options_(std::move(options)) {}

Transfer::~Transfer() = default;

void Transfer::InitialiseSession() {
    session_.reset();
    const auto proxy = proxySettingFor(CustomProxySettings, UseProxy, ProxyServer, ProxyPort);
    std::int32_t platformCode = kInvalidParameterCode;
    if (proxy) {
        try {
            session_ = std::make_unique<CurlSession>(*proxy, options_);
        } catch (const curl::SetupError& failure) {
            // A setting the HTTP library rejects is an invalid parameter; anything else means it
            // could not get the memory for a handle.
            const bool rejected = failure.code() == CURLE_BAD_FUNCTION_ARGUMENT ||
                                  failure.code() == CURLE_UNKNOWN_OPTION;
            platformCode = rejected ? kInvalidParameterCode : 8;
        }
    }
    if (!session_) {
        raiseError(kSessionErrorNumber, kLibraryTitle,
                   "InternetOpen call failed, error " + std::to_string(platformCode));
    }
    RequestMethod = 1;
}

void Transfer::TerminateSession() {
    session_.reset();
}

std::string Transfer::PostData() const {
    return buildPostData(*PostItems);
}

void Transfer::Reset() {
    PostItems = std::make_shared<Collection>();
    PreparedBody.reset();
    RequestMethod = 1;
}

std::string Transfer::TranslateErrorCode(std::int32_t lErrorCode) {
    return errhandler::TranslateErrorCode(lErrorCode);
}

bool Transfer::GetURL(std::string_view URL, std::int32_t DataType,
                      std::string_view RequiredStatus) {
    try {
        if (!session_) {
            InitialiseSession();
        }
        Buffer = Variant();
        MemorySink sink(options_.maxBodyBytes);
        if (!receive(URL, RequiredStatus, sink)) {
            return false;
        }
        Buffer = DataType == 0 ? Variant(sink.take()) : Variant(SafeArray::fromBytes(sink.take()));
        return true;
    } catch (const RuntimeError& error) {
        reportTrappedError(error);
        return false;
    }
}

bool Transfer::GetURLToFile(std::string_view URL, const std::string& FileName,
                            std::string_view RequiredStatus) {
    try {
        if (!session_) {
            InitialiseSession();
        }
        FileSink sink(FileName);
        return receive(URL, RequiredStatus, sink);
    } catch (const LocalFileOpenFailure& failure) {
        StatusCode = failure.number();
        StatusText = "Open local file failed '" + failure.description() + "'";
        return false;
    } catch (const RuntimeError& error) {
        reportTrappedError(error);
        return false;
    }
}

bool Transfer::receive(std::string_view url, std::string_view requiredStatus, BodySink& sink) {
    lastTransportCode_ = 0;
    lastTransportError_.clear();
    const auto target = parseTransferUrl(url);
    if (!target) {
        failWith(wininet::kInvalidUrl);
        return false;
    }
    const std::string verb = verbFor(RequestMethod);
    if (verb.empty()) {
        failWith(wininet::kInvalidOperation);
        return false;
    }
    HttpRequest request = buildRequest(verb, *target, *PostItems, agentName());
    if (request.body && PreparedBody) {
        request.body = *PreparedBody;
    }

    // The body is only taken once the final status matches; a mismatch stops the download there.
    bool accepted = false;
    const BodyReceiver receiver = [&](std::int32_t code, std::string_view chunk) {
        if (!accepted) {
            if (!matchesStatusPattern(std::to_string(code), requiredStatus)) {
                return false;
            }
            accepted = true;
            sink.begin();
        }
        sink.append(chunk);
        return true;
    };
    const SendOutcome outcome = session_->send(request, receiver);

    const bool stoppedOnStatus = outcome.stoppedByReceiver && !accepted;
    if ((outcome.curlCode != CURLE_OK && !stoppedOnStatus) || !outcome.status) {
        lastTransportCode_ = outcome.curlCode;
        lastTransportError_ = outcome.curlMessage;
        failWith(outcome.curlCode != CURLE_OK ? winInetCodeForCurl(outcome.curlCode)
                                              : wininet::kConnectionAborted);
        return false;
    }
    StatusCode = outcome.status->code;
    StatusText = outcome.status->text;
    if (!matchesStatusPattern(std::to_string(StatusCode), requiredStatus)) {
        return false;
    }
    if (!accepted) {
        sink.begin();  // an accepted answer without a body
    }
    sink.finish();
    return true;
}

void Transfer::failWith(std::int32_t winInetCode) {
    StatusCode = -1;
    StatusText = TranslateErrorCode(winInetCode);
}

void Transfer::reportTrappedError(const RuntimeError& error) {
    StatusText =
        "Error " + std::to_string(error.number()) + " " + error.description() + " occured.";
    if (error.number() >= wininet::kFirst && error.number() <= wininet::kLast) {
        StatusText += "  (" + TranslateErrorCode(error.number()) + ")";
    }
    StatusCode = -1;
}

}  // namespace kx::errhandler
