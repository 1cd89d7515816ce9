#pragma once
// The server's catalog: one SQLite file in the server's folder holding users, login servers,
// deployments, grants, install groups with their files, login tokens, login notes and error
// reports. Business-object URLs are stored as paths relative to the server's base ("/bo/server1"),
// so the same catalog serves on any address and port.
//
// A Catalog object is not safe for concurrent use; the HTTP server serialises access to it.
// Every failure of the file throws CatalogError (CatalogBusy when another connection held it for
// the whole busy time-out); a wrong argument throws std::invalid_argument.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sqlite_db.h"

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
    std::string sha256;  // of the file as installed (after expansion); "" for none
};

// What a login token stands for.
struct TokenBinding {
    std::int64_t userId = 0;
    std::string filerCode;
    std::string login;
    std::int64_t deploymentId = 0;
    std::string busObjPath;  // where the token was issued and where alone it is accepted
    bool client = false;     // issued by the CLIENT object rather than the BROKER one
    std::string ipText;      // the address the launcher reported at login
};

// A user with the stored hash of their password.
struct StoredLogin {
    User user;
    std::string passwordHash;
};

// One received error report: its form fields in arrival order.
using FormFields = std::vector<std::pair<std::string, std::string>>;

// The oldest reports removed to keep the report store under its cap.
struct DroppedReports {
    std::int64_t count = 0;
    std::uint64_t bytes = 0;
};

// The start row of an install list has a SequenceID of at least this value.
inline constexpr std::int64_t kStartRowSequence = 9999;

class Catalog {
  public:
    // The catalog file inside a server folder.
    static std::filesystem::path fileIn(const std::filesystem::path& dir);
    // Creates the folder (if needed) and an empty catalog; fails when a catalog exists already.
    static void create(const std::filesystem::path& dir, std::uint32_t pbkdf2Iterations);
    // Opens the existing catalog of `dir`; fails when there is none. A step that finds the file
    // locked by another connection waits up to `busyTimeout` before it throws CatalogBusy.
    explicit Catalog(const std::filesystem::path& dir,
                     std::chrono::milliseconds busyTimeout = Database::kDefaultBusyTimeout);

    const std::filesystem::path& dir() const { return dir_; }
    Database& database() { return db_; }
    // Switches the file to the write-ahead log, so that readers (an administrator listing
    // reports) never block the server's writes, with every commit synced to disk before it
    // counts as done. The mode stays with the file.
    void useWriteAheadLog();

    // Named settings ("token_lifetime_seconds", "pbkdf2_iterations").
    std::string setting(const std::string& key, const std::string& fallback);
    void setSetting(const std::string& key, const std::string& value);
    std::int64_t tokenLifetimeSeconds();

    // Administration. Filer Code and Login are stored upper-cased and matched without regard to
    // case, since the launcher sends them upper-cased.
    std::int64_t addUser(const std::string& filerCode, const std::string& login,
                         const std::string& password);
    void addLoginServer(const std::string& name, const std::string& busObjPath);
    std::int64_t addDeployment(Deployment deployment);
    void grant(const std::string& filerCode, const std::string& login, std::int64_t deploymentId);
    // Creates the group with `stamp` if it does not exist; leaves an existing one alone.
    void ensureInstallGroup(std::int64_t groupId, const std::string& stamp);
    // Sets the stamp of an existing group; throws std::invalid_argument for an unknown group.
    void setGroupStamp(std::int64_t groupId, const std::string& stamp);
    // Adds a file row, replacing the row of the same group, FileName and kind (start row or not).
    void putInstallFile(std::int64_t groupId, const InstallFile& file);
    // The same for several rows, in one transaction: all are added, or none.
    void putInstallFiles(std::int64_t groupId, const std::vector<InstallFile>& files);
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

    // Login tokens, login notes and error reports (catalog_sessions.cpp). Times are seconds
    // since 1970. A token is 128 random bits as hex; expired tokens are purged when new ones
    // are issued.
    std::string issueToken(const TokenBinding& binding, std::int64_t expiresAt);
    // The binding of a token that exists, has not expired and was issued at `busObjPath`.
    std::optional<TokenBinding> resolveToken(const std::string& token,
                                             const std::string& busObjPath, std::int64_t now);
    void addLoginNote(const TokenBinding& binding, const std::string& notes,
                      const std::string& clientAddress, std::int64_t now);
    // Stores a report once it is on disk. When the stored reports (the bytes of their fields)
    // would exceed `storeLimit`, the oldest are dropped first, in the same transaction.
    DroppedReports addErrorReport(
        const FormFields& fields, const std::string& clientAddress, std::int64_t now,
        std::uint64_t storeLimit = std::numeric_limits<std::uint64_t>::max());
    // One JSON object per line, oldest first, written as they are read: a few megabytes at a
    // time, each batch read in its own short read of the file.
    void writeErrorReports(std::ostream& out);
    void writeLoginNotes(std::ostream& out);

  private:
    Catalog(const std::filesystem::path& dir, bool create, std::chrono::milliseconds busyTimeout);
    void replaceInstallFile(std::int64_t groupId, const InstallFile& file);
    std::int64_t userId(const std::string& filerCode, const std::string& login);
    std::uint64_t storedReportBytes();
    DroppedReports dropOldestReports(std::uint64_t bytesToFree);

    std::filesystem::path dir_;
    Database db_;
};

// Checks a business-object path as stored in the catalog: it starts with "/", has no "..",
// backslash, control character, query or fragment, and does not end with "/" (except the root).
// Throws std::invalid_argument with a clear message otherwise.
void validateBusObjPath(const std::string& path);

// "yyyy-mm-ddThh:mm:ss" for a time in seconds since 1970 (UTC).
std::string isoTimestamp(std::int64_t unixSeconds);

}  // namespace kx::server
