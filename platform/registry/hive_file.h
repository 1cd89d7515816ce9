#pragma once
// One registry file: an SQLite database holding the keys and string values of a hive.
//
// Keys are rows identified by their folded full path (see key_path.h); the root ("") is implicit
// and always exists. Every change is its own IMMEDIATE transaction in rollback-journal mode with
// full synchronisation, a busy time-out of several seconds and a bounded number of retries, so
// that processes writing at once neither corrupt the file nor lose a committed write.
//
// The file is opened read-only when the process may not write it or its folder; such a file can
// be read but every change fails with kErrorAccessDenied. A missing file that is only read is an
// empty hive; it is created (with its folders) when first opened for writing. A file that is not
// an SQLite database, or a database of something else, gives kErrorCantOpen.
//
// All calls of one object are serialised by a mutex, so handles sharing it may be used from
// several threads.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry/key_path.h"

namespace kx::sqlite {
class Database;
}

namespace kx::registry::detail {

struct StoredValue {
    std::string name;  // as first written
    std::uint32_t type = 0;
    std::string data;  // the text, without NUL
};

class HiveFile {
  public:
    // Opens the file at `path`. With `forWriting`, the file (and its folders) is created when
    // missing, and kErrorAccessDenied is returned when the process may not write it.
    static long open(const std::string& path, bool forWriting, std::shared_ptr<HiveFile>& out);

    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    bool writable() const { return writable_; }

    // Whether a key exists; the root always does. Returns kErrorSuccess or kErrorCantRead.
    long keyExists(const std::string& folded, bool& exists);

    // Creates `path` and every missing parent.
    long createKey(const KeyPath& path);

    // Reads one value: kErrorSuccess, kErrorFileNotFound or kErrorCantRead.
    long readValue(const std::string& keyFolded, const std::string& name, StoredValue& out);

    // Writes a value of an existing key (kErrorKeyDeleted when the key is gone). With
    // `createKeyFirst`, the key is created instead (used for hive roots).
    long writeValue(const KeyPath& key, bool createKeyFirst, const StoredValue& value);

    // kErrorSuccess, or kErrorFileNotFound when the value does not exist.
    long deleteValue(const std::string& keyFolded, const std::string& name);

    // Deletes the key's subkeys and values; with `removeKey`, the key itself too, and then a
    // missing key gives kErrorFileNotFound.
    long deleteTree(const std::string& folded, bool removeKey);

    // Subkey names (as written) and values of a key, sorted by folded name.
    long subKeys(const std::string& folded, std::vector<std::string>& names);
    long listValues(const std::string& folded, std::vector<StoredValue>& out);

  private:
    HiveFile(std::unique_ptr<sqlite::Database> db, bool writable);

    long checkSchema();
    long createSchema();
    long keyExistsLocked(const std::string& folded, bool& exists);

    // Runs a read with the given parameters under the lock, handing each row to `row`; a file
    // that is missing or empty has no rows.
    template <typename Row>
    long readRows(const char* sql, std::initializer_list<std::string_view> parameters, Row&& row);

    // Runs `body` (returning a result code) in one IMMEDIATE transaction, committed when the
    // body succeeds and rolled back otherwise; a failure of the file gives its result code.
    template <typename Body>
    long writeTransaction(Body&& body);

    std::unique_ptr<sqlite::Database> db_;  // null for a missing file that is only read
    bool writable_;
    bool hasSchema_ = false;
    std::mutex mutex_;
};

}  // namespace kx::registry::detail
