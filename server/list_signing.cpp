#include "server/list_signing.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "platform/files/file_placement.h"
#include "platform/signing/install_list_text.h"
#include "platform/signing/minisign.h"
#include "platform/system/file_read.h"
#include "server/catalog_settings.h"
#include "server/lists.h"

namespace kx::server {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSignatureDaysKey = "list_signature_days";
constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

fs::path secretKeyFile(const fs::path& dir) {
    return dir / "signing.key";
}

fs::path nextKeyFile(const fs::path& dir) {
    return dir / "signing.next.key";
}

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

[[noreturn]] void failOn(const fs::path& file, const char* what) {
    throw std::runtime_error(std::string("cannot ") + what + " " + file.string() + ": " +
                             std::strerror(errno));
}

// The key a secret key file holds; nullopt when there is no such file.
std::optional<signing::SecretKey> loadKey(const fs::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0 && errno == ENOENT) {
        return std::nullopt;
    }
    const auto text = sys::readFileHead(file.string(), 4096);
    auto key = text ? signing::SecretKey::parse(*text) : std::nullopt;
    if (!key) {
        throw std::runtime_error(file.string() + " is not a readable signing key");
    }
    return key;
}

// Writes a new secret key file, readable by its owner only, whole or not at all; an existing
// file of that name is never replaced (std::runtime_error).
void writeSecretKey(const fs::path& file, const signing::SecretKey& key) {
    files::AtomicFile out(file.string(), files::PlacedMode::OwnerOnly);
    auto failure = out.failure().empty() ? out.write(key.fileText()) : out.failure();
    if (failure.empty()) {
        failure = out.commitNew();
    }
    if (!failure.empty()) {
        throw std::runtime_error(failure);
    }
}

void writePublicKey(const fs::path& dir, const signing::SecretKey& key) {
    const auto failure = files::placeContent(signing::publicKeyFile(key.publicKey()),
                                             (dir / "signing.pub").string());
    if (!failure.empty()) {
        throw std::runtime_error(failure);
    }
}

std::vector<std::int64_t> allGroups(Catalog& catalog) {
    auto query = catalog.database().prepare("SELECT id FROM install_groups ORDER BY id");
    std::vector<std::int64_t> groups;
    while (query.step()) {
        groups.push_back(query.integer(0));
    }
    return groups;
}

std::int64_t nextSequence(Database& db, std::int64_t group, std::int64_t now) {
    db.exec(
        "CREATE TABLE IF NOT EXISTS list_signatures("
        "group_id INTEGER PRIMARY KEY REFERENCES install_groups(id), "
        "sequence INTEGER NOT NULL)");
    auto query = db.prepare("SELECT sequence FROM list_signatures WHERE group_id = ?");
    query.bind(1, group);
    const std::int64_t previous = query.step() ? query.integer(0) : 0;
    const std::int64_t next = std::max(previous + 1, now);
    db.prepare("INSERT OR REPLACE INTO list_signatures(group_id, sequence) VALUES(?, ?)")
        .bind(1, group)
        .bind(2, next)
        .run();
    return next;
}

void signGroup(Catalog& catalog, const signing::SecretKey& key, std::int64_t group,
               std::int64_t now) {
    const std::int64_t days =
        numberSetting(catalog.database(), kSignatureDaysKey, 1, kMaxSignatureDays)
            .value_or(kDefaultSignatureDays);
    const signing::InstallListHeader header{group, nextSequence(catalog.database(), group, now),
                                            now + days * kSecondsPerDay};
    const rowset::RowsetData list = installFilesRowset(catalog.installFiles(group, 0));
    const signing::SignedRowLines columns(list);
    std::vector<std::string> lines;
    lines.reserve(list.rows.size());
    for (const rowset::Row& row : list.rows) {
        lines.push_back(columns.line(row));
    }
    const std::string signature =
        key.sign(signing::installListText(header, columns.columns(), lines),
                 signing::trustedCommentOf(header));
    const fs::path file = listSignatureFile(catalog.dir(), group);
    fs::create_directories(file.parent_path());
    const auto failure = files::placeContent(signature, file.string());
    if (!failure.empty()) {
        throw std::runtime_error(failure);
    }
}

void signAll(Catalog& catalog, const signing::SecretKey& key) {
    const std::int64_t now = nowSeconds();
    for (const std::int64_t group : allGroups(catalog)) {
        signGroup(catalog, key, group, now);
    }
}

}  // namespace

fs::path listSignatureFile(const fs::path& serverDir, std::int64_t group) {
    return serverDir / "files" / signing::listSignatureName(group);
}

void signGroupLists(Catalog& catalog, const std::set<std::int64_t>& groups) {
    if (groups.empty()) {
        return;
    }
    const auto key = loadKey(secretKeyFile(catalog.dir()));
    if (!key) {
        return;
    }
    const std::int64_t now = nowSeconds();
    for (const std::int64_t group : groups) {
        signGroup(catalog, *key, group, now);
    }
}

std::string ensureSigningKey(Catalog& catalog) {
    if (const auto key = loadKey(secretKeyFile(catalog.dir()))) {
        return signing::publicKeyLine(key->publicKey());
    }
    const auto key = signing::SecretKey::generate();
    inTransaction(catalog.database(), [&] {
        writeSecretKey(secretKeyFile(catalog.dir()), key);
        writePublicKey(catalog.dir(), key);
        signAll(catalog, key);
    });
    return signing::publicKeyLine(key.publicKey());
}

std::string ensureNextSigningKey(Catalog& catalog) {
    if (const auto key = loadKey(nextKeyFile(catalog.dir()))) {
        return signing::publicKeyLine(key->publicKey());
    }
    const auto key = signing::SecretKey::generate();
    writeSecretKey(nextKeyFile(catalog.dir()), key);
    return signing::publicKeyLine(key.publicKey());
}

std::string rotateSigningKey(Catalog& catalog) {
    const auto next = loadKey(nextKeyFile(catalog.dir()));
    if (!next) {
        throw std::invalid_argument("there is no key to rotate to: make one with --next first");
    }
    inTransaction(catalog.database(), [&] {
        if (::rename(nextKeyFile(catalog.dir()).c_str(), secretKeyFile(catalog.dir()).c_str()) !=
            0) {
            failOn(secretKeyFile(catalog.dir()), "replace");
        }
        writePublicKey(catalog.dir(), *next);
        signAll(catalog, *next);
    });
    return signing::publicKeyLine(next->publicKey());
}

int resignLists(Catalog& catalog, std::int64_t days) {
    if (days < 1 || days > kMaxSignatureDays) {
        throw std::invalid_argument("--days must be from 1 to " +
                                    std::to_string(kMaxSignatureDays));
    }
    const auto key = loadKey(secretKeyFile(catalog.dir()));
    if (!key) {
        return -1;
    }
    int count = 0;
    inTransaction(catalog.database(), [&] {
        writeSetting(catalog.database(), kSignatureDaysKey, std::to_string(days));
        signAll(catalog, *key);
        count = static_cast<int>(allGroups(catalog).size());
    });
    return count;
}

}  // namespace kx::server
