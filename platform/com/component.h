#pragma once
// The binary interface between a component library and the code that creates its objects by
// ProgID: four exported C entry points with HRESULT-like results, and a class-factory interface.
//
// The entry points are plain C symbols so that they can be found with dlsym, but what passes
// through them is C++ (the factory interface, std::shared_ptr<kx::Dispatch>): every component
// and every host is built by us from this tree with the same compiler and standard library, so
// the C++ ABI is shared. A library built elsewhere is not supported.
//
// A component library normally implements the entry points with component_server.h.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/runtime/dispatch.h"

namespace kx::com {

// Result of an entry point or factory call; negative values are failures.
using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

inline bool succeeded(HRESULT result) {
    return result >= 0;
}

// "0x80040111", as results are shown to people.
inline std::string hresultText(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

// Creates the objects of one class. Factories belong to their library, which stays loaded for
// the life of the process, so callers never delete them.
class ClassFactory {
  public:
    virtual ~ClassFactory() = default;
    // Sets `object` to a new object and returns S_OK, or returns a failure and leaves it empty.
    // May also raise kx::RuntimeError when the object's own set-up fails.
    virtual HRESULT CreateInstance(std::shared_ptr<Dispatch>& object) = 0;
};

// Signatures of the four entry points, for dlsym.
using DllGetClassObjectFunction = HRESULT (*)(const char* classId, ClassFactory** factory);
using DllEntryFunction = HRESULT (*)();

inline constexpr const char* kDllGetClassObject = "DllGetClassObject";
inline constexpr const char* kDllRegisterServer = "DllRegisterServer";
inline constexpr const char* kDllUnregisterServer = "DllUnregisterServer";
inline constexpr const char* kDllCanUnloadNow = "DllCanUnloadNow";

}  // namespace kx::com

#define KX_COMPONENT_EXPORT __attribute__((visibility("default")))

extern "C" {
// Hands out the factory of the class `classId` ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", letter
// case ignored): S_OK, CLASS_E_CLASSNOTAVAILABLE for a class the library does not serve, or
// E_POINTER for null arguments.
KX_COMPONENT_EXPORT kx::com::HRESULT DllGetClassObject(const char* classId,
                                                       kx::com::ClassFactory** factory);
// Writes the library's classes into HKEY_CLASSES_ROOT: S_OK or SELFREG_E_CLASS.
KX_COMPONENT_EXPORT kx::com::HRESULT DllRegisterServer();
// Removes exactly what DllRegisterServer wrote: S_OK or SELFREG_E_CLASS.
KX_COMPONENT_EXPORT kx::com::HRESULT DllUnregisterServer();
// S_OK when no object of the library is alive, else S_FALSE.
KX_COMPONENT_EXPORT kx::com::HRESULT DllCanUnloadNow();
}
