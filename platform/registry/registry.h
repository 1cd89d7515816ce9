#pragma once
// The registry stand-in: hierarchical keys holding string values, kept in SQLite files. A machine
// file serves HKEY_LOCAL_MACHINE (HKEY_CLASSES_ROOT is its SOFTWARE\Classes key) and a per-user
// file serves HKEY_CURRENT_USER. The calls are shaped like the Windows registry API: they return
// Windows error codes instead of raising, and reading copies into a buffer of the caller's size.
//
// Key paths use "\" between names and compare without regard to letter case; so do value names.
// The empty value name is the key's default value. Trailing backslashes are ignored; a leading
// backslash or an empty name inside a path gives kErrorBadPathname. A name holds at most 255
// characters, a path 32767, a value name 16383, a value's text 1 MiB less its NUL; longer ones
// give kErrorInvalidParameter (see key_path.h).
//
// File locations: those the process was told with useRegistryFiles; until then, those that
// RegistryFiles::ofThisProcess locates (machine_folders.h). A process that may not write the
// machine file can still read it; opening a key for writing then fails with kErrorAccessDenied.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx::registry {

enum class Hive : std::uint8_t { LocalMachine, CurrentUser, ClassesRoot };

// Access masks, as the Windows registry defines them.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// Result codes (Windows error numbers).
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorBadPathname = 161;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;
inline constexpr long kErrorCantOpen = 1011;    // the registry file cannot be opened
inline constexpr long kErrorCantRead = 1012;    // the registry file could not be read
inline constexpr long kErrorCantWrite = 1013;   // the registry file could not be written
inline constexpr long kErrorKeyDeleted = 1018;  // the open key has been deleted meanwhile

// Value types; only strings are stored, but the type a caller asked for is kept.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;

// The two files the keys live in.
struct RegistryFiles {
    std::string machine;  // HKEY_LOCAL_MACHINE, and HKEY_CLASSES_ROOT inside it
    std::string user;     // HKEY_CURRENT_USER; "" when the user has no home folder

    // Where this process's variables and the machine's defaults put them (sys::machineRegistryFile
    // and sys::userRegistryFile): the one way every program of the product locates them.
    static RegistryFiles ofThisProcess();
};

// Tells the registry of this process which files to use from now on (the launcher hands down
// those its environment located); nullopt goes back to locating them anew at every open with
// RegistryFiles::ofThisProcess(), which is what a process that was never told does. Keys opened
// before keep their files.
void useRegistryFiles(std::optional<RegistryFiles> files);

// The file a hive lives in, as told or located (see above).
std::string registryFilePath(Hive hive);

class KeyHandle;
using HKEY = std::shared_ptr<KeyHandle>;

// Opens an existing key. With kKeySetValue (or any write right) in the access mask, the file must
// be writable. Returns kErrorSuccess, kErrorFileNotFound, kErrorAccessDenied or kErrorCantOpen
// (or a path error, see above). The hive roots always exist.
long RegOpenKeyEx(Hive hive, const std::string& subKey, std::uint32_t access, HKEY& result);

// Opens a key, creating it and every missing parent. Needs write access to the file.
long RegCreateKeyEx(Hive hive, const std::string& subKey, std::uint32_t access, HKEY& result);

// Opens an existing key below an open key ("" opens the same key anew with `access`).
long RegOpenKeyEx(const HKEY& parent, const std::string& subKey, std::uint32_t access,
                  HKEY& result);
// Opens a key below an open key, creating it and every missing parent.
long RegCreateKeyEx(const HKEY& parent, const std::string& subKey, std::uint32_t access,
                    HKEY& result);

void RegCloseKey(HKEY& key);

// Reads a value into `data`, a buffer of *size bytes. The stored text is copied with its
// terminating NUL; *size receives the number of bytes that need (or took) room, NUL included.
// When the buffer is too small the result is kErrorMoreData and nothing useful is in `data`.
// `data` may be null to ask only for the size. `type` may be null.
long RegQueryValueEx(const HKEY& key, const std::string& valueName, std::uint32_t* type, char* data,
                     std::uint32_t* size);

// Convenience: the whole text of a value, or nullopt when the key or value is missing.
std::optional<std::string> queryString(Hive hive, const std::string& subKey,
                                       const std::string& valueName);

// Writes a string value (with its NUL, as the Windows call takes it: `size` counts the NUL).
// The text ends at the first NUL within `size` bytes, or after `size` bytes when there is none,
// so a value always reads back with its NUL. `type` must be kRegSz or kRegExpandSz. The key
// must have been opened with kKeySetValue (else kErrorAccessDenied); kErrorKeyDeleted when the
// key was deleted since.
long RegSetValueEx(const HKEY& key, const std::string& valueName, std::uint32_t type,
                   const char* data, std::uint32_t size);
long setString(const HKEY& key, const std::string& valueName, const std::string& value);

// Needs kKeySetValue; kErrorFileNotFound when there is no such value.
long RegDeleteValue(const HKEY& key, const std::string& valueName);
// Deletes a key with all its subkeys and values; kErrorFileNotFound when it does not exist. For
// the empty path, deletes everything below the hive root (the root itself stays).
long RegDeleteTree(Hive hive, const std::string& subKey);

// Enumeration by index, as RegEnumKeyEx / RegEnumValue: kErrorNoMoreItems past the end. Keys need
// kKeyEnumerateSubKeys, values kKeyQueryValue in the handle's access mask.
// Names come back in their stored letter case, sorted case-insensitively.
long RegEnumKeyEx(const HKEY& key, std::uint32_t index, std::string& name);
long RegEnumValue(const HKEY& key, std::uint32_t index, std::string& name, std::string& data);

// All subkey names and all values of a key (for tools and tests); empty when the handle may not
// enumerate or the file cannot be read.
std::vector<std::string> subKeyNames(const HKEY& key);
std::vector<std::pair<std::string, std::string>> values(const HKEY& key);

}  // namespace kx::registry
