#pragma once
// Name and version of the error-reporting library, as it introduces itself to web servers and
// in the errors it raises.

#include <cstdint>
#include <string>

namespace kx::errhandler {

inline constexpr const char* kLibraryTitle = "ZNErrHandler";
inline constexpr std::int32_t kLibraryMajor = 300;
inline constexpr std::int32_t kLibraryMinor = 1004;
inline constexpr std::int32_t kLibraryRevision = 12;

// "ZNErrHandler 300.1004.12": the title, a space, then major.minor.revision.
std::string agentName();

}  // namespace kx::errhandler
