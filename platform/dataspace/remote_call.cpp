#include "platform/dataspace/remote_call.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/dataspace/data_space.h"
#include "platform/runtime/run_time_error.h"

namespace kx::dataspace {

namespace {

using nlohmann::json;

std::string argumentName(std::size_t index, std::string_view method) {
    return "argument " + std::to_string(index + 1) + " of " + std::string(method);
}

std::string kindName(VarType type) {
    switch (type) {
        case VarType::Missing:
            return "a missing argument";
        case VarType::Currency:
            return "a Currency value";
        case VarType::Date:
            return "a Date";
        case VarType::Object:
            return "an object";
        case VarType::DataObject:
            return "a data object";
        case VarType::Record:
            return "a record";
        case VarType::Array:
            return "an array";
        default:
            return "a value of this kind";
    }
}

json argumentToJson(const Variant& value, std::size_t index, std::string_view method) {
    const auto& storage = value.storage();
    switch (value.type()) {
        case VarType::Empty:
        case VarType::Null:
            return nullptr;
        case VarType::Boolean:
            return std::get<bool>(storage);
        case VarType::Byte:
            return std::get<std::uint8_t>(storage);
        case VarType::Integer:
            return std::get<std::int16_t>(storage);
        case VarType::Long:
            return std::get<std::int32_t>(storage);
        case VarType::LongLong:
            return std::get<std::int64_t>(storage);
        case VarType::Single:
        case VarType::Double: {
            const double number = value.numberValue();
            if (!std::isfinite(number)) {
                // JSON has no such numbers; sending null instead would change the call.
                raiseError(vberr::kInvalidProcedureCall, std::string(kErrorSource),
                           argumentName(index, method) + " is not a finite number");
            }
            return number;
        }
        case VarType::String:
            return std::get<std::string>(storage);
        default:
            raiseError(vberr::kTypeMismatch, std::string(kErrorSource),
                       argumentName(index, method) + " is " + kindName(value.type()) +
                           ", which cannot be passed to a remote object");
    }
}

[[noreturn]] void raiseMalformed(std::string_view url, const std::string& what) {
    raiseError(errors::kMalformedAnswer, std::string(kErrorSource),
               "The server at " + std::string(url) + " sent an invalid answer: " + what);
}

Variant resultToVariant(const json& result, std::string_view url) {
    switch (result.type()) {
        case json::value_t::null:
            return {};
        case json::value_t::boolean:
            return result.get<bool>();
        case json::value_t::string:
            return result.get<std::string>();
        case json::value_t::number_integer: {
            const auto number = result.get<std::int64_t>();
            if (number >= std::numeric_limits<std::int32_t>::min() &&
                number <= std::numeric_limits<std::int32_t>::max()) {
                return static_cast<std::int32_t>(number);
            }
            return number;
        }
        case json::value_t::number_unsigned: {
            const auto number = result.get<std::uint64_t>();
            if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
                return static_cast<std::int32_t>(number);
            }
            if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return static_cast<std::int64_t>(number);
            }
            return static_cast<double>(number);
        }
        case json::value_t::number_float:
            return result.get<double>();
        default:
            raiseMalformed(url, "the result is not a string, Boolean, number or null");
    }
}

// The server's error document, when the answer holds a well-formed one.
void raiseRemoteErrorIfPresent(const json& document, std::string_view progId) {
    const auto error = document.find("error");
    if (error == document.end() || !error->is_object()) {
        return;
    }
    const auto number = error->find("number");
    const auto description = error->find("description");
    if (number == error->end() || !number->is_number_integer() || description == error->end() ||
        !description->is_string()) {
        return;
    }
    const auto value = number->get<std::int64_t>();
    // Number 0 would read as "no error" to the caller, and larger values do not fit.
    if (value == 0 || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return;
    }
    raiseError(static_cast<std::int32_t>(value), std::string(progId),
               description->get<std::string>());
}

bool isSuccessStatus(long status) {
    return status >= 200 && status <= 299;
}

[[noreturn]] void raiseHttpStatus(std::string_view url, long status) {
    raiseError(errors::kHttpStatus, std::string(kErrorSource),
               "The server at " + std::string(url) + " answered HTTP " + std::to_string(status));
}

}  // namespace

std::string buildCallRequest(std::string_view progId, std::string_view method,
                             const std::vector<Variant>& args) {
    json arguments = json::array();
    for (std::size_t i = 0; i < args.size(); ++i) {
        arguments.push_back(argumentToJson(args[i], i, method));
    }
    const json request = {{"progid", std::string(progId)},
                          {"method", std::string(method)},
                          {"args", std::move(arguments)}};
    try {
        return request.dump();
    } catch (const json::type_error&) {
        // Only invalid UTF-8 makes dump() fail; say where without echoing the text.
        raiseError(vberr::kInvalidProcedureCall, std::string(kErrorSource),
                   "A text passed to " + std::string(method) + " of " + std::string(progId) +
                       " is not valid UTF-8");
    }
}

Variant interpretCallAnswer(const CallAnswer& answer, std::string_view url,
                            std::string_view progId) {
    const json document = json::parse(answer.body, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded() || !document.is_object()) {
        if (!isSuccessStatus(answer.httpStatus)) {
            raiseHttpStatus(url, answer.httpStatus);
        }
        raiseMalformed(url, "the answer is not a JSON object");
    }
    raiseRemoteErrorIfPresent(document, progId);
    if (!isSuccessStatus(answer.httpStatus)) {
        raiseHttpStatus(url, answer.httpStatus);
    }
    const auto result = document.find("result");
    if (result == document.end()) {
        raiseMalformed(url, "the answer has no result");
    }
    return resultToVariant(*result, url);
}

}  // namespace kx::dataspace
