#pragma once
// String values under the machine-wide registry root (modRegistry). Neither function raises:
// failures show only in the result.

#include <string>

namespace kx::launcher {

// The text of the value, or "" when the key or value is missing or its data, NUL included, needs
// more than 50 bytes (the size of the read buffer).
std::string GetRegValueHKLM(const std::string& Subkey, const std::string& ValueName);

// Writes a string value into an existing key (opened with the set-value right only; the key is
// never created). True when the value was written.
bool WriteRegValueHKLM(const std::string& Subkey, const std::string& ValueName,
                       const std::string& Value);

}  // namespace kx::launcher
