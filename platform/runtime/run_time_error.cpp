#include "platform/runtime/run_time_error.h"

#include <utility>

#include "platform/runtime/debug_log.h"

namespace kx {

std::string standardErrorDescription(std::int32_t number) {
    switch (number) {
        case 3:
            return "Return without GoSub";
        case 5:
            return "Invalid procedure call or argument";
        case 6:
            return "Overflow";
        case 7:
            return "Out of memory";
        case 9:
            return "Subscript out of range";
        case 11:
            return "Division by zero";
        case 13:
            return "Type mismatch";
        case 52:
            return "Bad file name or number";
        case 53:
            return "File not found";
        case 54:
            return "Bad file mode";
        case 55:
            return "File already open";
        case 57:
            return "Device I/O error";
        case 58:
            return "File already exists";
        case 61:
            return "Disk full";
        case 62:
            return "Input past end of file";
        case 67:
            return "Too many files";
        case 68:
            return "Device unavailable";
        case 70:
            return "Permission denied";
        case 71:
            return "Disk not ready";
        case 75:
            return "Path/File access error";
        case 76:
            return "Path not found";
        case 91:
            return "Object variable or With block variable not set";
        case 94:
            return "Invalid use of Null";
        case 424:
            return "Object required";
        case 429:
            return "ActiveX component can't create object";
        case 438:
            return "Object doesn't support this property or method";
        case 440:
            return "Automation error";
        case 448:
            return "Named argument not found";
        case 449:
            return "Argument not optional";
        case 450:
            return "Wrong number of arguments or invalid property assignment";
        default:
            return "Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(std::int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {}

RuntimeError::RuntimeError(std::int32_t number)
    : RuntimeError(number, std::string(), standardErrorDescription(number)) {}

void raiseError(std::int32_t number, std::string source, std::string description) {
    throw RuntimeError(number, std::move(source), std::move(description));
}

void raiseError(std::int32_t number) {
    throw RuntimeError(number);
}

void ErrObject::Clear() {
    Number = 0;
    Source.clear();
    Description.clear();
}

void ErrObject::set(const RuntimeError& e) {
    Number = e.number();
    Source = e.source();
    Description = e.description();
}

void ErrObject::Raise() const {
    throw RuntimeError(Number, Source, Description);
}

ErrObject& Err() {
    thread_local ErrObject err;
    return err;
}

bool resumeNext(const std::function<void()>& statement) {
    try {
        statement();
        return true;
    } catch (const RuntimeError& e) {
        Err().set(e);
        if (debugLogEnabled()) {
            debugLog("error ignored: " + std::to_string(e.number()) + " (" + e.source() + ") " +
                     e.description());
        }
        return false;
    }
}

void resumeNextEach(std::initializer_list<std::function<void()>> statements) {
    for (const auto& statement : statements) {
        resumeNext(statement);
    }
}

}  // namespace kx
