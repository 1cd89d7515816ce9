#include "component_server.h"

#include <dlfcn.h>

#include <filesystem>
#include <optional>

#include "registry.h"

namespace kx::com {

namespace {

namespace reg = kx::registry;

// The keys one class owns, deepest first, so that a parent is looked at after its children.
struct ClassKey {
    std::string path;
    std::string value;
};

std::vector<ClassKey> keysOfClass(const ComponentClass& entry, const std::string& libraryPath) {
    const std::string progId = entry.progId;
    const std::string classKey = std::string("CLSID\\") + entry.classId;
    return {{progId + "\\CLSID", entry.classId},
            {progId, entry.description},
            {classKey + "\\InProcServer32", libraryPath},
            {classKey + "\\ProgID", progId},
            {classKey, entry.description}};
}

bool writeDefaultValue(const ClassKey& key) {
    reg::HKEY handle;
    if (reg::RegCreateKeyEx(reg::Hive::ClassesRoot, key.path, reg::kKeyAllAccess, handle) !=
        reg::kErrorSuccess) {
        return false;
    }
    const bool written = reg::setString(handle, "", key.value) == reg::kErrorSuccess;
    reg::RegCloseKey(handle);
    return written;
}

// Removes the default value, then the key itself when nothing else is left in it.
bool removeDefaultValue(const std::string& path) {
    reg::HKEY handle;
    const long opened = reg::RegOpenKeyEx(reg::Hive::ClassesRoot, path, reg::kKeyAllAccess, handle);
    if (opened == reg::kErrorFileNotFound) {
        return true;  // already gone
    }
    if (opened != reg::kErrorSuccess) {
        return false;
    }
    const long deleted = reg::RegDeleteValue(handle, "");
    const bool empty = reg::subKeyNames(handle).empty() && reg::values(handle).empty();
    reg::RegCloseKey(handle);
    if (deleted != reg::kErrorSuccess && deleted != reg::kErrorFileNotFound) {
        return false;
    }
    return !empty || reg::RegDeleteTree(reg::Hive::ClassesRoot, path) == reg::kErrorSuccess;
}

bool sameClassId(const char* a, const char* b) {
    return sameMemberName(a, b);
}

}  // namespace

ComponentServer::ComponentServer(std::span<const ComponentClass> classes) {
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
    for (const auto& factory : factories_) {
        for (const ClassKey& key : keysOfClass(factory->entry(), path)) {
            if (!writeDefaultValue(key)) {
                return SELFREG_E_CLASS;
            }
        }
    }
    return S_OK;
}

HRESULT ComponentServer::unregisterServer() const {
    bool allRemoved = true;
    for (const auto& factory : factories_) {
        for (const ClassKey& key : keysOfClass(factory->entry(), {})) {
            allRemoved = removeDefaultValue(key.path) && allRemoved;
        }
    }
    return allRemoved ? S_OK : SELFREG_E_CLASS;
}

}  // namespace kx::com
