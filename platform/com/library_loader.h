#pragma once
// Loading of component libraries with dlopen (RTLD_NOW | RTLD_LOCAL): every symbol is resolved
// at load, so a library with a missing dependency fails here rather than in the middle of a call,
// and its symbols stay out of the global namespace, so two components cannot clash.

#include <string>

namespace kx::com {

class LoadedLibrary {
  public:
    // Loads the library at `path`. On failure the object is not loaded() and error() holds the
    // loader's own text (dlerror).
    explicit LoadedLibrary(const std::string& path);
    // Releases the library unless keepForever() was called.
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    // The address of an exported function, cast to `Function`; null when there is none.
    template <class Function>
    Function entryPoint(const char* name) const {
        return reinterpret_cast<Function>(symbol(name));
    }

    // Keeps the library loaded for the rest of the process. Needed once an object or factory of
    // the library has been handed out: unloading would leave their code (vtables, deleters)
    // pointing at unmapped memory, and nothing tracks when the last of them is gone.
    void keepForever() { keep_ = true; }

  private:
    void* symbol(const char* name) const;

    void* handle_ = nullptr;
    std::string error_;
    bool keep_ = false;
};

}  // namespace kx::com
