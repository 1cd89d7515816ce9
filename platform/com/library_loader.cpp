#include "platform/com/library_loader.h"

#include <dlfcn.h>

namespace kx::com {

LoadedLibrary::LoadedLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* text = dlerror();
        error_ = text != nullptr ? text : "unknown error";
    }
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_ != nullptr && !keep_) {
        dlclose(handle_);
    }
}

void* LoadedLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace kx::com
