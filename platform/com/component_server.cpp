#include "platform/com/component_server.h"

#include <dlfcn.h>

#include <filesystem>
#include <optional>

#include "platform/registry/registry.h"

namespace kx::com {

namespace {

namespace reg = kx::registry;

// One value that registration writes, or (without a value) a key that it makes on the way and
// that unregistration removes once it is empty. Lists run deepest first, so that a parent is
// looked at after its children.
struct RegistryEntry {
    RegistryEntry(std::string key, std::optional<std::string> text, std::string name = {})
        : path(std::move(key)), value(std::move(text)), valueName(std::move(name)) {}

    std::string path;
    std::optional<std::string> value;
    std::string valueName;  // "" for the key's default value
};

std::vector<RegistryEntry> entriesOfClass(const ComponentClass& entry,
                                          const std::string& libraryPath) {
    const std::string progId = entry.progId;
    const std::string classKey = std::string("CLSID\\") + entry.classId;
    return {{progId + "\\CLSID", entry.classId},
            {progId, entry.description},
            {classKey + "\\InProcServer32", libraryPath},
            {classKey + "\\ProgID", progId},
            {classKey, entry.description},
            {"CLSID", std::nullopt}};
}

// The platform key of a type library, as Windows names them after the pointer size.
constexpr const char* kTypeLibraryPlatform = sizeof(void*) == 8 ? "win64" : "win32";

std::vector<RegistryEntry> entriesOfTypeLibrary(const TypeLibrary& library,
                                                std::span<const ComponentClass> classes,
                                                const std::string& libraryPath) {
    const std::string libraryKey = std::string("TypeLib\\") + library.libraryId;
    const std::string versionKey = libraryKey + "\\" + library.version;
    const std::string localeKey = versionKey + "\\" + library.locale;
    const std::string folder = std::filesystem::path(libraryPath).parent_path().string();
    std::vector<RegistryEntry> entries = {{localeKey + "\\" + kTypeLibraryPlatform, libraryPath},
                                          {localeKey, std::nullopt},
                                          {versionKey + "\\FLAGS", "0"},
                                          {versionKey + "\\HELPDIR", folder},
                                          {versionKey, library.name},
                                          {libraryKey, std::nullopt},
                                          {"TypeLib", std::nullopt}};
    for (const TypeLibraryInterface& interface : library.interfaces) {
        const std::string key = std::string("Interface\\") + interface.interfaceId;
        entries.push_back({key + "\\TypeLib", library.libraryId});
        entries.push_back({key + "\\TypeLib", library.version, "Version"});
        entries.push_back({key, interface.name});
        entries.push_back({"Interface", std::nullopt});
    }
    for (const ComponentClass& entry : classes) {
        entries.push_back(
            {std::string("CLSID\\") + entry.classId + "\\TypeLib", library.libraryId});
    }
    return entries;
}

bool writeEntry(const RegistryEntry& entry) {
    reg::HKEY handle;
    if (reg::RegCreateKeyEx(reg::Hive::ClassesRoot, entry.path, reg::kKeyAllAccess, handle) !=
        reg::kErrorSuccess) {
        return false;
    }
    const bool written =
        !entry.value || reg::setString(handle, entry.valueName, *entry.value) == reg::kErrorSuccess;
    reg::RegCloseKey(handle);
    return written;
}

// Removes the entry's value, then its key when nothing else is left in it.
bool removeEntry(const RegistryEntry& entry) {
    reg::HKEY handle;
    const long opened =
        reg::RegOpenKeyEx(reg::Hive::ClassesRoot, entry.path, reg::kKeyAllAccess, handle);
    if (opened == reg::kErrorFileNotFound) {
        return true;  // already gone
    }
    if (opened != reg::kErrorSuccess) {
        return false;
    }
    const long deleted =
        entry.value ? reg::RegDeleteValue(handle, entry.valueName) : reg::kErrorSuccess;
    const bool empty = reg::subKeyNames(handle).empty() && reg::values(handle).empty();
    reg::RegCloseKey(handle);
    if (deleted != reg::kErrorSuccess && deleted != reg::kErrorFileNotFound) {
        return false;
    }
    return !empty || reg::RegDeleteTree(reg::Hive::ClassesRoot, entry.path) == reg::kErrorSuccess;
}

// Everything the registration of `classes` (and of `typeLibrary`, when given) writes, deepest
// first.
std::vector<RegistryEntry> entriesOfServer(std::span<const ComponentClass> classes,
                                           const TypeLibrary* typeLibrary,
                                           const std::string& libraryPath) {
    std::vector<RegistryEntry> entries;
    if (typeLibrary != nullptr) {
        // Its keys lie below the classes' keys, so they go first.
        entries = entriesOfTypeLibrary(*typeLibrary, classes, libraryPath);
    }
    for (const ComponentClass& entry : classes) {
        const auto own = entriesOfClass(entry, libraryPath);
        entries.insert(entries.end(), own.begin(), own.end());
    }
    return entries;
}

bool sameClassId(const char* a, const char* b) {
    return sameMemberName(a, b);
}

}  // namespace

ComponentServer::ComponentServer(std::span<const ComponentClass> classes,
                                 const TypeLibrary* typeLibrary)
    : classes_(classes), typeLibrary_(typeLibrary) {
    for (const ComponentClass& entry : classes) {
        factories_.push_back(std::make_unique<Factory>(entry, liveObjects_));
    }
}

HRESULT ComponentServer::Factory::CreateInstance(std::shared_ptr<Dispatch>& object) {
    std::shared_ptr<Dispatch> created = entry_.create();
    if (!created) {
        return E_FAIL;
    }
    // The handed-out reference owns the object through its deleter, so the count drops when the
    // last reference from a factory goes.
    Dispatch* raw = created.get();
    ++liveObjects_;
    object = std::shared_ptr<Dispatch>(
        raw, [created = std::move(created), &live = liveObjects_](Dispatch*) mutable {
            created.reset();
            --live;
        });
    return S_OK;
}

HRESULT ComponentServer::getClassObject(const char* classId, ClassFactory** factory) {
    if (classId == nullptr || factory == nullptr) {
        return E_POINTER;
    }
    *factory = nullptr;
    for (const auto& candidate : factories_) {
        if (sameClassId(candidate->entry().classId, classId)) {
            *factory = candidate.get();
            return S_OK;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::string ComponentServer::libraryPath() const {
    Dl_info info{};
    if (dladdr(this, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0') {
        return {};
    }
    std::error_code error;
    const auto path =
        std::filesystem::weakly_canonical(std::filesystem::absolute(info.dli_fname), error);
    return error ? std::string() : path.string();
}

HRESULT ComponentServer::registerServer() const {
    const std::string path = libraryPath();
    if (path.empty()) {
        return SELFREG_E_CLASS;
    }
    for (const RegistryEntry& entry : entriesOfServer(classes_, typeLibrary_, path)) {
        if (!writeEntry(entry)) {
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

HRESULT ComponentServer::unregisterServer() const {
    bool allRemoved = true;
    for (const RegistryEntry& entry : entriesOfServer(classes_, typeLibrary_, {})) {
        allRemoved = removeEntry(entry) && allRemoved;
    }
    return allRemoved ? S_OK : SELFREG_E_CLASS;
}

}  // namespace kx::com
