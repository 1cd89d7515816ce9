#include "platform/com/create_object.h"

#include <exception>

#include "platform/com/component.h"
#include "platform/com/library_loader.h"
#include "platform/registry/registry.h"
#include "platform/runtime/number_text.h"
#include "platform/runtime/run_time_error.h"

namespace kx::com {

namespace {

constexpr std::size_t kMaxProgIdLength = 255;

[[noreturn]] void cannotCreate(const std::string& progId, const std::string& why) {
    raiseError(vberr::kCantCreateObject, progId,
               standardErrorDescription(vberr::kCantCreateObject) + ": " + why);
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A ProgID becomes part of a registry path, so it must not be able to name another key.
bool isUsableProgId(const std::string& progId) {
    if (progId.empty() || progId.size() > kMaxProgIdLength) {
        return false;
    }
    for (const char c : progId) {
        if (c == '\\' || std::iscntrl(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
bool isClassId(const std::string& text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') {
        return false;
    }
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != '-' : hexDigitValue(text[i]) < 0) {
            return false;
        }
    }
    return true;
}

std::string classIdOf(const std::string& progId) {
    const std::string key = progId + "\\CLSID";
    const auto classId = registry::queryString(registry::Hive::ClassesRoot, key, "");
    if (!classId || classId->empty()) {
        cannotCreate(progId, "the ProgID " + quoted(progId) +
                                 " is not registered (no HKEY_CLASSES_ROOT\\" + key + ")");
    }
    if (!isClassId(*classId)) {
        cannotCreate(progId, "the class id registered for " + quoted(progId) + " (" +
                                 quoted(*classId) + ") is malformed");
    }
    return *classId;
}

std::string libraryPathOf(const std::string& progId, const std::string& classId) {
    const std::string key = "CLSID\\" + classId + "\\InProcServer32";
    const auto path = registry::queryString(registry::Hive::ClassesRoot, key, "");
    if (!path || path->empty()) {
        cannotCreate(progId, "the class " + classId + " of " + quoted(progId) +
                                 " has no library path (no HKEY_CLASSES_ROOT\\" + key + ")");
    }
    // A relative path would be looked up along the library search path, which is not what
    // was registered.
    if (path->front() != '/') {
        cannotCreate(progId, "the library path " + quoted(*path) + " of " + quoted(progId) +
                                 " is not absolute");
    }
    return *path;
}

std::shared_ptr<Dispatch> createFromFactory(ClassFactory& factory, const std::string& progId,
                                            const std::string& path) {
    std::shared_ptr<Dispatch> object;
    HRESULT result = E_FAIL;
    try {
        result = factory.CreateInstance(object);
    } catch (const RuntimeError&) {
        throw;
    } catch (const std::exception& e) {
        cannotCreate(progId, "the class factory of " + quoted(path) + " failed: " + e.what());
    }
    if (!succeeded(result) || !object) {
        cannotCreate(progId, "the class factory of " + quoted(path) +
                                 " did not create the object (" + hresultText(result) + ")");
    }
    return object;
}

}  // namespace

std::shared_ptr<Dispatch> CreateObject(const std::string& progId) {
    if (!isUsableProgId(progId)) {
        cannotCreate(progId, "the ProgID " + quoted(progId) + " is not a valid ProgID");
    }
    const std::string classId = classIdOf(progId);
    const std::string path = libraryPathOf(progId, classId);

    LoadedLibrary library(path);
    if (!library.loaded()) {
        cannotCreate(progId, "the library " + quoted(path) + " of " + quoted(progId) +
                                 " could not be loaded: " + library.error());
    }
    const auto getClassObject = library.entryPoint<DllGetClassObjectFunction>(kDllGetClassObject);
    if (getClassObject == nullptr) {
        cannotCreate(progId,
                     "the library " + quoted(path) + " does not export " + kDllGetClassObject);
    }
    ClassFactory* factory = nullptr;
    const HRESULT result = getClassObject(classId.c_str(), &factory);
    if (!succeeded(result) || factory == nullptr) {
        cannotCreate(progId, "the library " + quoted(path) + " refused the class " + classId +
                                 " (" + hresultText(result) + ")");
    }
    // From here the library's code is referenced by the factory and soon by the object.
    library.keepForever();
    return createFromFactory(*factory, progId, path);
}

}  // namespace kx::com
