#include "launcher/startup/registry_access.h"

#include <array>
#include <cstdint>

#include "launcher/crash/trap.h"
#include "platform/registry/registry.h"

namespace kx::launcher {

namespace {

using registry::Hive;
using registry::HKEY;

// The size of the read buffer: a value that needs more, NUL included, reads as absent.
constexpr std::uint32_t kReadBufferBytes = 50;

}  // namespace

std::string GetRegValueHKLM(const std::string& Subkey, const std::string& ValueName) {
    std::string result;
    std::array<char, kReadBufferBytes> buffer{};
    std::uint32_t size = kReadBufferBytes;
    long status = 0;
    HKEY key;
    crash::Frame frame("modRegistry", "GetRegValueHKLM");
    frame.local("GetRegValueHKLM", result)
        .local("lngResult", status)
        .param("Subkey", Subkey)
        .param("ValueName", ValueName);
    return trapped(frame, [&] {
        frame.line(10);
        status = registry::RegOpenKeyEx(Hive::LocalMachine, Subkey, registry::kKeyRead, key);
        if (status != registry::kErrorSuccess) {
            return result;
        }
        frame.line(20);
        status = registry::RegQueryValueEx(key, ValueName, nullptr, buffer.data(), &size);
        registry::RegCloseKey(key);
        frame.line(30);
        if (status == registry::kErrorSuccess && size > 0 && size <= kReadBufferBytes) {
            result.assign(buffer.data(), size - 1);
        }
        return result;
    });
}

bool WriteRegValueHKLM(const std::string& Subkey, const std::string& ValueName,
                       const std::string& Value) {
    bool result = false;
    long status = 0;
    HKEY key;
    crash::Frame frame("modRegistry", "WriteRegValueHKLM");
    frame.local("WriteRegValueHKLM", result)
        .local("lngResult", status)
        .param("Subkey", Subkey)
        .param("ValueName", ValueName)
        .param("Value", Value);
    return trapped(frame, [&] {
        frame.line(10);
        status = registry::RegOpenKeyEx(Hive::LocalMachine, Subkey, registry::kKeySetValue, key);
        if (status != registry::kErrorSuccess) {
            return false;
        }
        frame.line(20);
        status = registry::setString(key, ValueName, Value);
        registry::RegCloseKey(key);
        frame.line(30);
        result = status == registry::kErrorSuccess;
        return result;
    });
}

}  // namespace kx::launcher
