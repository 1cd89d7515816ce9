#include "platform/registry/registry.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/registry/hive_file.h"
#include "platform/registry/key_path.h"
#include "platform/system/machine_folders.h"

namespace kx::registry {

using detail::HiveFile;
using detail::KeyPath;
using detail::StoredValue;

// An open key: the file it lives in, its full path inside that file and the rights it was opened
// with. Handles of one hive may share a file connection.
class KeyHandle {
  public:
    KeyHandle(Hive keyHive, std::shared_ptr<HiveFile> keyFile, KeyPath keyPath,
              std::uint32_t rights)
        : hive(keyHive), file(std::move(keyFile)), path(std::move(keyPath)), access(rights) {}

    bool may(std::uint32_t right) const { return (access & right) != 0; }

    Hive hive;
    std::shared_ptr<HiveFile> file;
    KeyPath path;
    std::uint32_t access;
};

namespace {

// The rights that change a key: set value, create subkey, create link, delete, write DAC, write
// owner.
constexpr std::uint32_t kWriteRights =
    0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;

std::mutex g_filesMutex;
std::optional<RegistryFiles> g_toldFiles;

// Where a hive's keys start inside its file: HKEY_CLASSES_ROOT is SOFTWARE\Classes of the
// machine file.
KeyPath hiveRoot(Hive hive) {
    if (hive == Hive::ClassesRoot) {
        return KeyPath{"SOFTWARE\\Classes", "SOFTWARE\\CLASSES"};
    }
    return {};
}

bool isHiveRoot(Hive hive, const KeyPath& path) {
    return path.folded == hiveRoot(hive).folded;
}

long resolve(const KeyPath& base, const std::string& subKey, KeyPath& out) {
    KeyPath relative;
    if (long result = detail::parseKeyPath(subKey, relative); result != kErrorSuccess) {
        return result;
    }
    return detail::joinKeyPath(base, relative, out);
}

// Opens (or creates) `path` of `hive`, reusing `file` when it allows what is asked.
long openResolved(Hive hive, std::shared_ptr<HiveFile> file, const KeyPath& path,
                  std::uint32_t access, bool create, HKEY& result) {
    result.reset();
    bool forWriting = create || (access & kWriteRights) != 0;
    if (file == nullptr || (forWriting && !file->writable())) {
        if (long rc = HiveFile::open(registryFilePath(hive), forWriting, file);
            rc != kErrorSuccess) {
            return rc;
        }
    }
    if (!isHiveRoot(hive, path)) {
        bool exists = false;
        if (long rc = create ? file->createKey(path) : file->keyExists(path.folded, exists);
            rc != kErrorSuccess) {
            return rc;
        }
        if (!create && !exists) {
            return kErrorFileNotFound;
        }
    }
    result = std::make_shared<KeyHandle>(hive, std::move(file), path, access);
    return kErrorSuccess;
}

long openBelowHive(Hive hive, const std::string& subKey, std::uint32_t access, bool create,
                   HKEY& result) {
    KeyPath path;
    if (long rc = resolve(hiveRoot(hive), subKey, path); rc != kErrorSuccess) {
        result.reset();
        return rc;
    }
    return openResolved(hive, nullptr, path, access, create, result);
}

long openBelowKey(const HKEY& parent, const std::string& subKey, std::uint32_t access, bool create,
                  HKEY& result) {
    if (parent == nullptr) {
        result.reset();
        return kErrorInvalidHandle;
    }
    KeyPath path;
    if (long rc = resolve(parent->path, subKey, path); rc != kErrorSuccess) {
        result.reset();
        return rc;
    }
    // Copied first: `result` may be the very handle `parent` refers to.
    Hive hive = parent->hive;
    std::shared_ptr<HiveFile> file = parent->file;
    return openResolved(hive, std::move(file), path, access, create, result);
}

}  // namespace

RegistryFiles RegistryFiles::ofThisProcess() {
    return {sys::machineRegistryFile(), sys::userRegistryFile()};
}

void useRegistryFiles(std::optional<RegistryFiles> files) {
    const std::lock_guard lock(g_filesMutex);
    g_toldFiles = std::move(files);
}

std::string registryFilePath(Hive hive) {
    std::optional<RegistryFiles> told;
    {
        const std::lock_guard lock(g_filesMutex);
        told = g_toldFiles;
    }
    if (hive != Hive::CurrentUser) {
        return told ? told->machine : sys::machineRegistryFile();
    }
    return told ? told->user : sys::userRegistryFile();
}

long RegOpenKeyEx(Hive hive, const std::string& subKey, std::uint32_t access, HKEY& result) {
    return openBelowHive(hive, subKey, access, false, result);
}

long RegCreateKeyEx(Hive hive, const std::string& subKey, std::uint32_t access, HKEY& result) {
    return openBelowHive(hive, subKey, access, true, result);
}

long RegOpenKeyEx(const HKEY& parent, const std::string& subKey, std::uint32_t access,
                  HKEY& result) {
    return openBelowKey(parent, subKey, access, false, result);
}

long RegCreateKeyEx(const HKEY& parent, const std::string& subKey, std::uint32_t access,
                    HKEY& result) {
    return openBelowKey(parent, subKey, access, true, result);
}

void RegCloseKey(HKEY& key) {
    key.reset();
}

long RegQueryValueEx(const HKEY& key, const std::string& valueName, std::uint32_t* type, char* data,
                     std::uint32_t* size) {
    if (key == nullptr) {
        return kErrorInvalidHandle;
    }
    if (!key->may(kKeyQueryValue)) {
        return kErrorAccessDenied;
    }
    if ((data != nullptr && size == nullptr) ||
        detail::checkValueName(valueName) != kErrorSuccess) {
        return kErrorInvalidParameter;
    }
    StoredValue value;
    if (long rc = key->file->readValue(key->path.folded, valueName, value); rc != kErrorSuccess) {
        return rc;
    }
    if (value.data.size() >= UINT32_MAX) {
        return kErrorCantRead;
    }
    if (type != nullptr) {
        *type = value.type;
    }
    if (size == nullptr) {
        return kErrorSuccess;
    }
    auto needed = static_cast<std::uint32_t>(value.data.size() + 1);
    bool fits = data == nullptr || *size >= needed;
    if (data != nullptr && fits) {
        std::memcpy(data, value.data.c_str(), needed);
    }
    *size = needed;
    return fits ? kErrorSuccess : kErrorMoreData;
}

std::optional<std::string> queryString(Hive hive, const std::string& subKey,
                                       const std::string& valueName) {
    HKEY key;
    if (RegOpenKeyEx(hive, subKey, kKeyQueryValue, key) != kErrorSuccess ||
        detail::checkValueName(valueName) != kErrorSuccess) {
        return std::nullopt;
    }
    StoredValue value;
    if (key->file->readValue(key->path.folded, valueName, value) != kErrorSuccess) {
        return std::nullopt;
    }
    return value.data;
}

long RegSetValueEx(const HKEY& key, const std::string& valueName, std::uint32_t type,
                   const char* data, std::uint32_t size) {
    if (key == nullptr) {
        return kErrorInvalidHandle;
    }
    if (!key->may(kKeySetValue)) {
        return kErrorAccessDenied;
    }
    if ((type != kRegSz && type != kRegExpandSz) || (data == nullptr && size != 0) ||
        size > detail::kMaxValueDataBytes || detail::checkValueName(valueName) != kErrorSuccess) {
        return kErrorInvalidParameter;
    }
    std::string text = data == nullptr ? std::string() : std::string(data, strnlen(data, size));
    if (text.size() + 1 > detail::kMaxValueDataBytes) {
        return kErrorInvalidParameter;
    }
    return key->file->writeValue(key->path, isHiveRoot(key->hive, key->path),
                                 StoredValue{valueName, type, std::move(text)});
}

long setString(const HKEY& key, const std::string& valueName, const std::string& value) {
    if (value.size() + 1 > detail::kMaxValueDataBytes) {
        return kErrorInvalidParameter;
    }
    return RegSetValueEx(key, valueName, kRegSz, value.c_str(),
                         static_cast<std::uint32_t>(value.size() + 1));
}

long RegDeleteValue(const HKEY& key, const std::string& valueName) {
    if (key == nullptr) {
        return kErrorInvalidHandle;
    }
    if (!key->may(kKeySetValue)) {
        return kErrorAccessDenied;
    }
    if (detail::checkValueName(valueName) != kErrorSuccess) {
        return kErrorInvalidParameter;
    }
    return key->file->deleteValue(key->path.folded, valueName);
}

long RegDeleteTree(Hive hive, const std::string& subKey) {
    KeyPath path;
    if (long rc = resolve(hiveRoot(hive), subKey, path); rc != kErrorSuccess) {
        return rc;
    }
    std::shared_ptr<HiveFile> file;
    if (long rc = HiveFile::open(registryFilePath(hive), true, file); rc != kErrorSuccess) {
        return rc;
    }
    return file->deleteTree(path.folded, !isHiveRoot(hive, path));
}

long RegEnumKeyEx(const HKEY& key, std::uint32_t index, std::string& name) {
    if (key == nullptr) {
        return kErrorInvalidHandle;
    }
    if (!key->may(kKeyEnumerateSubKeys)) {
        return kErrorAccessDenied;
    }
    std::vector<std::string> names;
    if (long rc = key->file->subKeys(key->path.folded, names); rc != kErrorSuccess) {
        return rc;
    }
    if (index >= names.size()) {
        return kErrorNoMoreItems;
    }
    name = std::move(names[index]);
    return kErrorSuccess;
}

long RegEnumValue(const HKEY& key, std::uint32_t index, std::string& name, std::string& data) {
    if (key == nullptr) {
        return kErrorInvalidHandle;
    }
    if (!key->may(kKeyQueryValue)) {
        return kErrorAccessDenied;
    }
    std::vector<StoredValue> all;
    if (long rc = key->file->listValues(key->path.folded, all); rc != kErrorSuccess) {
        return rc;
    }
    if (index >= all.size()) {
        return kErrorNoMoreItems;
    }
    name = std::move(all[index].name);
    data = std::move(all[index].data);
    return kErrorSuccess;
}

std::vector<std::string> subKeyNames(const HKEY& key) {
    std::vector<std::string> names;
    if (key != nullptr && key->may(kKeyEnumerateSubKeys)) {
        key->file->subKeys(key->path.folded, names);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> values(const HKEY& key) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<StoredValue> all;
    if (key != nullptr && key->may(kKeyQueryValue) &&
        key->file->listValues(key->path.folded, all) == kErrorSuccess) {
        for (StoredValue& value : all) {
            pairs.emplace_back(std::move(value.name), std::move(value.data));
        }
    }
    return pairs;
}

}  // namespace kx::registry
