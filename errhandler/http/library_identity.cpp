#include "errhandler/http/library_identity.h"

namespace kx::errhandler {

std::string agentName() {
    return std::string(kLibraryTitle) + " " + std::to_string(kLibraryMajor) + "." +
           std::to_string(kLibraryMinor) + "." + std::to_string(kLibraryRevision);
}

}  // namespace kx::errhandler
