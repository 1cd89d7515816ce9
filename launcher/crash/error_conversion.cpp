#include "launcher/crash/error_conversion.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>

namespace kx::crash {

namespace {

constexpr std::int32_t kOutOfMemory = 7;
constexpr std::int32_t kInternalError = 51;

}  // namespace

std::string readableTypeName(const char* mangledName) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(mangledName, nullptr, nullptr, &status), &std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangledName);
}

RuntimeError asRuntimeError(const std::exception& e) {
    if (const auto* runtimeError = dynamic_cast<const RuntimeError*>(&e)) {
        return *runtimeError;
    }
    if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) {
        return RuntimeError(kOutOfMemory, std::string(), "Out of memory");
    }
    return RuntimeError(
        kInternalError, std::string(),
        "Internal error: unexpected " + readableTypeName(typeid(e).name()) + " (" + e.what() + ")");
}

}  // namespace kx::crash
