#pragma once
// The server's catalog: one SQLite file in the server's folder holding its settings, users, login
// servers, deployments, grants, install groups with their files, and the sessions and error
// reports of the running server (each in a store of its own). Business-object URLs are stored as
// paths relative to the server's base ("/bo/server1"), so the same catalog serves on any address
// and port.
//
// A Catalog object is not safe for concurrent use; the HTTP server serialises access to it.
// Every failure of the file throws CatalogError (CatalogBusy when another connection held it for
// the whole busy time-out), and so does a setting the catalog cannot work without that is missing
// or damaged; a wrong argument throws std::invalid_argument.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "server/password.h"
#include "server/report_store.h"
#include "server/session_store.h"
#include "server/sqlite_db.h"

namespace kx::server {

struct User {
    std::int64_t id = 0;
    std::string filerCode;
    std::string login;
};

struct LoginServer {
    std::string name;
    std::string busObjPath;
};

struct Deployment {
    std::int64_t id = 0;  // 0 asks addDeployment to pick the next free id
    std::string type;     // "BROKER" or "CLIENT"
    std::string description;
    std::string busObjPath;
    std::string deployFolder;
    std::string checkForUpdates;
    std::int64_t installGroupId = 0;  // 0: none
    std::int64_t customInstallGroupId = 0;
    bool isClient() const { return type == "CLIENT"; }
};

struct InstallFile {
    std::int64_t groupId = 0;  // the group the row belongs to, as installFiles reads it
    std::string fileName;
    std::int64_t sequenceId = 0;
    std::int64_t installType = 0;
    std::string fileVersion;
    std::string altCheckRegValue;
    std::string altCheck;
    std::string description;
    std::int64_t isCompressed = 0;
    std::string downloadLocation;
    std::string installLocation;
    std::string sha256;   // of the file as installed (after expansion); "" for none
    std::string patches;  // the patches to this version the row offers (patch_offers.h)
};

// A user with the stored hash of their password.
struct StoredLogin {
    User user;
    std::string passwordHash;
};

// The start row of an install list has a SequenceID of at least this value.
inline constexpr std::int64_t kStartRowSequence = 9999;

class Catalog {
  public:
    // The catalog file inside a server folder.
    static std::filesystem::path fileIn(const std::filesystem::path& dir);
    // Creates the folder (if needed) and an empty catalog; fails when a catalog exists already.
    static void create(const std::filesystem::path& dir, const PasswordCost& passwordCost);
    // Opens the existing catalog of `dir`; fails when there is none. A catalog made by an older
    // version is brought up to this one's tables first, and the tables of the support pages are
    // brought up to date (support_tables.h). A step that finds the file locked by another
    // connection waits up to `busyTimeout` before it throws CatalogBusy.
    explicit Catalog(const std::filesystem::path& dir,
                     std::chrono::milliseconds busyTimeout = Database::kDefaultBusyTimeout);

    const std::filesystem::path& dir() const { return dir_; }
    Database& database() { return db_; }
    // Switches the file to the write-ahead log, so that readers (an administrator listing
    // reports) never block the server's writes, with every commit synced to disk before it
    // counts as done. The mode stays with the file.
    void useWriteAheadLog();

    SessionStore& sessions() { return sessions_; }
    ReportStore& reports() { return reports_; }

    // Administration. Filer Code and Login are stored upper-cased and matched without regard to
    // case, since the launcher sends them upper-cased. The password is hashed at the catalog's
    // cost.
    std::int64_t addUser(const std::string& filerCode, const std::string& login,
                         const std::string& password);
    // The cost passwords are hashed at: the default for a catalog that has none set, and
    // CatalogError for a setting that is damaged or out of range.
    PasswordCost passwordCost();
    // std::invalid_argument for a cost out of range. Stored hashes follow at their next login.
    void setPasswordCost(const PasswordCost& cost);
    // Replaces a user's stored hash, unless it changed since it was read as `oldHash` (the
    // password was changed meanwhile): false then.
    bool replacePasswordHash(std::int64_t userId, const std::string& oldHash,
                             const std::string& newHash);
    // The stored form of a new password, as every account of the catalog keeps it: hashed at the
    // catalog's cost.
    std::string hashNewPassword(const std::string& password);
    void addLoginServer(const std::string& name, const std::string& busObjPath);
    // Creates the deployment's install groups when they do not exist, and signs their (empty)
    // lists when the catalog has a signing key.
    std::int64_t addDeployment(Deployment deployment);
    void grant(const std::string& filerCode, const std::string& login, std::int64_t deploymentId);
    // Creates the group with `stamp` if it does not exist (true) or leaves an existing one alone.
    bool ensureInstallGroup(std::int64_t groupId, const std::string& stamp);
    // Sets the stamp of an existing group; throws std::invalid_argument for an unknown group.
    void setGroupStamp(std::int64_t groupId, const std::string& stamp);
    // Adds a file row, replacing the row of the same group, FileName and kind (start row or not).
    // With a signing key in the catalog's folder the group's list is signed again
    // (list_signing.h), in the same transaction.
    void putInstallFile(std::int64_t groupId, const InstallFile& file);
    // The same for several rows, in one transaction: all are added and signed, or none.
    void putInstallFiles(std::int64_t groupId, const std::vector<InstallFile>& files);
    // The digests of the versions of a group's file kept to make patches from, newest first.
    std::vector<std::string> keptVersions(std::int64_t groupId, const std::string& fileName);
    // Records `sha256` as the newest version of the file and keeps only the `keep` newest; returns
    // the digests of the versions that no file of the group keeps any longer.
    std::vector<std::string> keepVersion(std::int64_t groupId, const std::string& fileName,
                                         const std::string& sha256, std::size_t keep);
    // The SequenceID after the highest ordinary row of the group (steps of 10).
    std::int64_t nextSequenceId(std::int64_t groupId);

    // Queries.
    std::optional<User> findUser(const std::string& filerCode, const std::string& login);
    // The user with the stored hash of their password; the password is checked by the caller.
    std::optional<StoredLogin> storedLogin(const std::string& filerCode, const std::string& login);
    // Login servers with at least one deployment granted to the user, in the order they were
    // added.
    std::vector<LoginServer> loginServersFor(std::int64_t userId);
    std::vector<Deployment> deploymentsFor(std::int64_t userId);
    // Deployments granted to the user at `busObjPath` (every path when it is empty) whose type
    // is CLIENT when `client`, and not CLIENT otherwise.
    std::vector<Deployment> grantedDeployments(std::int64_t userId, const std::string& busObjPath,
                                               bool client);
    std::optional<Deployment> deployment(std::int64_t id);
    // Deployments served at `busObjPath` with exactly this type.
    std::vector<Deployment> deploymentsAt(const std::string& busObjPath, const std::string& type);
    // True when a login server or deployment is served at the path.
    bool servesPath(const std::string& busObjPath);
    std::optional<std::string> groupStamp(std::int64_t groupId);
    // The rows of both groups (0 means none), ordered by SequenceID.
    std::vector<InstallFile> installFiles(std::int64_t groupId, std::int64_t customGroupId);

  private:
    Catalog(const std::filesystem::path& dir, bool create, std::chrono::milliseconds busyTimeout);
    void replaceInstallFile(std::int64_t groupId, const InstallFile& file);
    // Within the caller's transaction; std::invalid_argument for a cost out of range.
    void writePasswordCost(const PasswordCost& cost);
    std::int64_t userId(const std::string& filerCode, const std::string& login);

    std::filesystem::path dir_;
    Database db_;
    SessionStore sessions_{db_};
    ReportStore reports_{db_};
};

// Checks a business-object path as stored in the catalog: it starts with "/", has no "..",
// backslash, control character, query or fragment, and does not end with "/" (except the root).
// Throws std::invalid_argument with a clear message otherwise.
void validateBusObjPath(const std::string& path);

// "yyyy-mm-ddThh:mm:ss" for a time in seconds since 1970 (UTC).
std::string isoTimestamp(std::int64_t unixSeconds);

}  // namespace kx::server
