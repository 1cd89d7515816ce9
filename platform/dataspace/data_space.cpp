#include "platform/dataspace/data_space.h"

#include <limits>
#include <utility>

#include "platform/dataspace/http_post.h"
#include "platform/dataspace/remote_call.h"

namespace kx::dataspace {

namespace {

// Generous, but keeps an absurd value from reaching the transport.
constexpr std::size_t kMaxUrlLength = 8192;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameMemberName(text.substr(0, prefix.size()), prefix);
}

void validateUrl(const std::string& url) {
    const bool httpUrl = startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
    bool plainText = url.size() <= kMaxUrlLength;
    for (const char c : url) {
        plainText = plainText && static_cast<unsigned char>(c) > 0x20 && c != 0x7f;
    }
    if (!httpUrl || !plainText) {
        raiseError(
            errors::kInvalidUrl, std::string(kErrorSource),
            "The URL " + urlForMessages(url.substr(0, 200)) + " is not an http:// or https:// URL");
    }
}

// A business object on the server: every member is a method call sent over the wire.
class RemoteObject : public Dispatch {
  public:
    RemoteObject(std::string progId, std::string url, ConnectionSettings settings)
        : progId_(std::move(progId)), url_(std::move(url)), settings_(std::move(settings)) {}

    std::string typeName() const override { return "Object"; }

    Variant invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) override {
        if (kind == InvokeKind::PropertyPut || member.empty()) {
            raiseError(vberr::kObjectDoesntSupportMember);
        }
        const std::string request = buildCallRequest(progId_, member, args);
        const CallAnswer answer = postJson(url_, request, settings_);
        return interpretCallAnswer(answer, urlForMessages(url_), progId_);
    }

  private:
    std::string progId_;
    std::string url_;
    ConnectionSettings settings_;
};

std::string stringArgument(const Variant& value) {
    if (value.isString()) {
        return value.asString();
    }
    if (value.isEmpty()) {
        return {};
    }
    raiseError(vberr::kTypeMismatch);
}

void requireArgumentCount(const std::vector<Variant>& args, std::size_t count) {
    if (args.size() != count) {
        raiseError(vberr::kWrongNumberOfArguments);
    }
}

}  // namespace

std::shared_ptr<Dispatch> DataSpace::CreateObject(const std::string& progId,
                                                  const std::string& url) const {
    if (progId.empty()) {
        raiseError(vberr::kInvalidProcedureCall, std::string(kErrorSource),
                   "CreateObject needs a ProgID");
    }
    validateUrl(url);
    return std::make_shared<RemoteObject>(progId, url, settings_);
}

std::int32_t DataSpace::InternetTimeout() const {
    const auto milliseconds = settings_.overallTimeout.count();
    return milliseconds > std::numeric_limits<std::int32_t>::max()
               ? std::numeric_limits<std::int32_t>::max()
               : static_cast<std::int32_t>(milliseconds);
}

void DataSpace::setInternetTimeout(std::int32_t milliseconds) {
    if (milliseconds < 1) {
        raiseError(vberr::kInvalidProcedureCall, std::string(kErrorSource),
                   "InternetTimeout must be at least 1 millisecond");
    }
    settings_.overallTimeout = std::chrono::milliseconds(milliseconds);
}

Variant DataSpace::invoke(std::string_view member, InvokeKind kind, std::vector<Variant>& args) {
    if (sameMemberName(member, "CreateObject") && kind != InvokeKind::PropertyPut) {
        requireArgumentCount(args, 2);
        return Variant::object(CreateObject(stringArgument(args[0]), stringArgument(args[1])));
    }
    if (sameMemberName(member, "InternetTimeout")) {
        if (kind == InvokeKind::PropertyPut) {
            requireArgumentCount(args, 1);
            const double value = args[0].numberValue();
            if (value < std::numeric_limits<std::int32_t>::min() ||
                value > std::numeric_limits<std::int32_t>::max()) {
                raiseError(vberr::kOverflow);
            }
            setInternetTimeout(static_cast<std::int32_t>(value));
            return {};
        }
        requireArgumentCount(args, 0);
        return InternetTimeout();
    }
    if (sameMemberName(member, "CAFile")) {
        if (kind == InvokeKind::PropertyPut) {
            requireArgumentCount(args, 1);
            setCAFile(stringArgument(args[0]));
            return {};
        }
        requireArgumentCount(args, 0);
        return CAFile();
    }
    raiseError(vberr::kObjectDoesntSupportMember);
}

}  // namespace kx::dataspace
