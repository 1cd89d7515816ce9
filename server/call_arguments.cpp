#include "server/call_arguments.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/text/ascii_text.h"

namespace kx::server {

namespace {

[[noreturn]] void typeMismatch(std::size_t index, const char* name, const char* expected) {
    throw RemoteError(400, error_number::kTypeMismatch,
                      "Type mismatch: argument " + std::to_string(index + 1) + " (" + name +
                          ") must be " + expected + ".");
}

// True when arrays and objects nest deeper than `limit` anywhere in the text; brackets inside
// strings do not count.
bool nestsDeeperThan(std::string_view json, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) {
                return true;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

}  // namespace

std::string remoteErrorBody(std::int32_t number, const std::string& description) {
    nlohmann::json body;
    body["error"] = {{"number", number}, {"description", description}};
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

RemoteCall parseRemoteCall(std::string_view body) {
    if (nestsDeeperThan(body, kMaxJsonNesting)) {
        throw RemoteError(400, error_number::kInvalidArgument,
                          "The request nests arrays or objects too deeply.");
    }
    nlohmann::json request = nlohmann::json::parse(body, nullptr, false);
    if (request.is_discarded()) {
        throw RemoteError(400, error_number::kInvalidArgument,
                          "The request body is not valid JSON.");
    }
    if (!request.is_object() || !request.contains("progid") || !request["progid"].is_string() ||
        !request.contains("method") || !request["method"].is_string()) {
        throw RemoteError(400, error_number::kInvalidArgument,
                          "The request must be an object with the strings \"progid\" and "
                          "\"method\" and the array \"args\".");
    }
    RemoteCall call{request["progid"].get<std::string>(), request["method"].get<std::string>(),
                    nlohmann::json::array()};
    if (request.contains("args")) {
        if (!request["args"].is_array()) {
            throw RemoteError(400, error_number::kInvalidArgument, "\"args\" must be an array.");
        }
        call.args = std::move(request["args"]);
    }
    for (const auto& arg : call.args) {
        if (!arg.is_string() && !arg.is_boolean() && !arg.is_number() && !arg.is_null()) {
            throw RemoteError(400, error_number::kTypeMismatch,
                              "Arguments must be strings, Booleans, numbers or null.");
        }
    }
    return call;
}

void expectArgumentCount(const RemoteCall& call, std::size_t count) {
    if (call.args.size() != count) {
        throw RemoteError(400, error_number::kWrongArgumentCount,
                          "Wrong number of arguments: " + call.method + " takes " +
                              std::to_string(count) + ", " + std::to_string(call.args.size()) +
                              " given.");
    }
}

std::string textArgument(const RemoteCall& call, std::size_t index, const char* name) {
    const auto& arg = call.args.at(index);
    if (!arg.is_string()) {
        typeMismatch(index, name, "a string");
    }
    return arg.get<std::string>();
}

bool flagArgument(const RemoteCall& call, std::size_t index, const char* name) {
    const auto& arg = call.args.at(index);
    if (arg.is_boolean()) {
        return arg.get<bool>();
    }
    if (arg.is_number()) {
        return arg.get<double>() != 0.0;
    }
    typeMismatch(index, name, "a Boolean");
}

std::int64_t groupIdArgument(const RemoteCall& call, std::size_t index, const char* name) {
    const auto& arg = call.args.at(index);
    if (arg.is_null()) {
        return 0;
    }
    if (arg.is_number_integer()) {
        const auto value = arg.get<std::int64_t>();
        if (value < 0) {
            typeMismatch(index, name, "a group id of zero or more");
        }
        return value;
    }
    if (arg.is_number_float()) {
        const double value = arg.get<double>();
        if (!(value >= 0.0) || value > 9.0e15 || std::floor(value) != value) {
            typeMismatch(index, name, "a whole group id");
        }
        return static_cast<std::int64_t>(value);
    }
    if (arg.is_string()) {
        const std::string text(ascii::trimBlanks(arg.get<std::string>()));
        if (text.empty()) {
            return 0;
        }
        std::int64_t value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
            typeMismatch(index, name, "a group id");
        }
        return value;
    }
    typeMismatch(index, name, "a group id");
}

}  // namespace kx::server
