#include "server/remote_calls.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <set>
#include <string_view>

#include "platform/text/ascii_text.h"
#include "server/lists.h"

namespace kx::server {

namespace {

// The object the call is made on: the CLIENT object serves CLIENT deployments, the other one
// every other type.
struct CallTarget {
    const RemoteCall& call;
    const CallContext& context;
    SharedCatalog& catalog;
    PasswordChecks& passwords;
    RequestLog& log;
    bool clientObject;

    // Deployments are looked up at the posted path; the base service looks at all of them.
    std::string scopePath() const {
        return context.busObjPath == "/" ? std::string() : context.busObjPath;
    }
};

TokenBinding requireToken(const CallTarget& target) {
    const std::string token = textArgument(target.call, 0, "token");
    auto binding = target.catalog.lock()->sessions().resolveToken(token, target.context.busObjPath,
                                                                  target.context.now);
    if (!binding) {
        throw RemoteError(403, error_number::kInvalidToken,
                          "The login token is not valid here or has expired.  Please log in "
                          "again.");
    }
    return *binding;
}

// The install groups the token's user may read through this object at this path.
std::set<std::int64_t> groupsCoveredBy(const CallTarget& target, const TokenBinding& binding) {
    std::set<std::int64_t> groups;
    const auto granted = target.catalog.lock()->grantedDeployments(
        binding.userId, target.scopePath(), binding.client);
    for (const auto& d : granted) {
        groups.insert(d.installGroupId);
        groups.insert(d.customInstallGroupId);
    }
    groups.erase(0);
    return groups;
}

void requireCovered(const std::set<std::int64_t>& covered, std::int64_t group) {
    if (group != 0 && covered.count(group) == 0) {
        throw RemoteError(403, error_number::kNotPermitted,
                          "Install group " + std::to_string(group) +
                              " does not belong to a deployment of this login.");
    }
}

nlohmann::json getLoginServers(const CallTarget& t) {
    expectArgumentCount(t.call, 2);
    auto catalog = t.catalog.lock();
    const auto user =
        catalog->findUser(textArgument(t.call, 0, "Filer Code"), textArgument(t.call, 1, "Login"));
    return loginServersXml(user ? catalog->loginServersFor(user->id) : std::vector<LoginServer>{},
                           t.context.baseUrl);
}

nlohmann::json getDeployments(const CallTarget& t) {
    expectArgumentCount(t.call, 2);
    auto catalog = t.catalog.lock();
    const auto user =
        catalog->findUser(textArgument(t.call, 0, "Filer Code"), textArgument(t.call, 1, "Login"));
    return deploymentsXml(user ? catalog->deploymentsFor(user->id) : std::vector<Deployment>{},
                          t.context.baseUrl);
}

std::string accountName(const User& user) {
    return user.filerCode + "/" + user.login;
}

// Stores the password, just proven right against `stored`, at the catalog's cost. A failure
// leaves the old hash, which still works, and does not fail the login.
void upgradeStoredHash(const CallTarget& t, const StoredLogin& stored, const std::string& password,
                       const PasswordCost& cost) {
    try {
        const std::string renewed = hashPassword(password, cost);
        if (t.catalog.lock()->replacePasswordHash(stored.user.id, stored.passwordHash, renewed)) {
            t.log.note("stored the password of " + accountName(stored.user) +
                       " anew as Argon2id at " + std::to_string(cost.memoryKiB) + " KiB, " +
                       std::to_string(cost.passes) + " passes");
        }
    } catch (const std::exception& e) {
        t.log.note("the password of " + accountName(stored.user) +
                   " could not be stored anew: " + e.what());
    }
}

// The user when the call's password (its first three arguments are Filer Code, Login and
// Password) is right. The catalog is locked to read the stored hash, not while it is checked.
std::optional<User> authenticate(const CallTarget& t) {
    const LoginAttempt attempt{textArgument(t.call, 0, "Filer Code"),
                               textArgument(t.call, 1, "Login"),
                               textArgument(t.call, 2, "Password"), t.context.clientAddress};
    if (t.context.refuseLogin) {
        return std::nullopt;
    }
    std::optional<StoredLogin> stored;
    PasswordCost cost;
    {
        auto catalog = t.catalog.lock();
        stored = catalog->storedLogin(attempt.filerCode, attempt.login);
        cost = catalog->passwordCost();
    }
    switch (t.passwords.check(attempt, stored ? stored->passwordHash : std::string(), cost)) {
        case PasswordVerdict::Right:
            return stored->user;
        case PasswordVerdict::RightButOutdated:
            upgradeStoredHash(t, *stored, attempt.password, cost);
            return stored->user;
        case PasswordVerdict::Unreadable:
            t.log.note("login refused: the stored password hash of " + accountName(stored->user) +
                       " is damaged or of an unknown kind; set the password again");
            return std::nullopt;
        case PasswordVerdict::Wrong:
            t.log.note("wrong password for " +
                       (stored ? accountName(stored->user) : "unknown account") + " from " +
                       attempt.clientAddress);
            break;
    }
    return std::nullopt;
}

nlohmann::json isValidLogin(const CallTarget& t) {
    expectArgumentCount(t.call, 5);
    const bool client = flagArgument(t.call, 3, "client flag");
    flagArgument(t.call, 4, "reserved flag");
    const auto user = authenticate(t);
    return user && !t.catalog.lock()->grantedDeployments(user->id, t.scopePath(), client).empty();
}

nlohmann::json loginUser(const CallTarget& t) {
    expectArgumentCount(t.call, 4);
    const std::string ipText = textArgument(t.call, 3, "IP address");
    const auto user = authenticate(t);
    if (!user) {
        return "";
    }
    auto catalog = t.catalog.lock();
    const auto deployments = catalog->grantedDeployments(user->id, t.scopePath(), t.clientObject);
    if (deployments.empty()) {
        return "";
    }
    TokenBinding binding;
    binding.userId = user->id;
    binding.deploymentId = deployments.front().id;
    binding.busObjPath = t.context.busObjPath;
    binding.client = t.clientObject;
    binding.ipText = ipText.substr(0, 200);
    return catalog->sessions().issueToken(binding, t.context.now);
}

nlohmann::json getUpdateInfoLastUpdate(const CallTarget& t) {
    expectArgumentCount(t.call, 2);
    const TokenBinding binding = requireToken(t);
    const std::string name = textArgument(t.call, 1, "install group name");
    constexpr std::string_view kPrefix = "INSTALL_";
    std::int64_t group = 0;
    const char* digits = name.data() + std::min(name.size(), kPrefix.size());
    const auto [end, ec] = std::from_chars(digits, name.data() + name.size(), group);
    if (name.size() <= kPrefix.size() || !ascii::startsWithNoCase(name, kPrefix) ||
        ec != std::errc() || end != name.data() + name.size() || group <= 0) {
        throw RemoteError(400, error_number::kInvalidArgument,
                          "An install group name is INSTALL_ followed by the group id.");
    }
    requireCovered(groupsCoveredBy(t, binding), group);
    const auto stamp = t.catalog.lock()->groupStamp(group);
    if (!stamp) {
        throw RemoteError(404, error_number::kUnknownGroup,
                          "There is no install group " + std::to_string(group) + ".");
    }
    return *stamp;
}

nlohmann::json getInstallFilesById(const CallTarget& t) {
    expectArgumentCount(t.call, 3);
    const TokenBinding binding = requireToken(t);
    const std::int64_t group = groupIdArgument(t.call, 1, "install group id");
    const std::int64_t customGroup = groupIdArgument(t.call, 2, "custom install group id");
    const auto covered = groupsCoveredBy(t, binding);
    requireCovered(covered, group);
    requireCovered(covered, customGroup);
    return installFilesXml(t.catalog.lock()->installFiles(group, customGroup));
}

nlohmann::json writeLoginNotes(const CallTarget& t) {
    expectArgumentCount(t.call, 2);
    const TokenBinding binding = requireToken(t);
    const std::string notes = textArgument(t.call, 1, "notes");
    t.catalog.lock()->sessions().addLoginNote(binding, notes, t.context.clientAddress,
                                              t.context.now);
    return nullptr;
}

struct Method {
    std::string_view name;
    nlohmann::json (*run)(const CallTarget&);
};

constexpr std::array<Method, 7> kMethods{{
    {"GetLoginServersXML", getLoginServers},
    {"GetDeploymentsXML", getDeployments},
    {"isValidLogin", isValidLogin},
    {"LoginUser", loginUser},
    {"GetUpdateInfoLastUpdate", getUpdateInfoLastUpdate},
    {"GetInstallFilesByIDXML", getInstallFilesById},
    {"WriteLoginNotes", writeLoginNotes},
}};

}  // namespace

nlohmann::json runRemoteCall(const CallServices& services, const RemoteCall& call,
                             const CallContext& context) {
    if (context.busObjPath != "/" && !services.catalog.lock()->servesPath(context.busObjPath)) {
        throw RemoteError(404, error_number::kNotFound,
                          "No business-object server is published at this address.");
    }
    // Object and member names are matched without regard to case, as late binding does.
    const bool client = ascii::equalsNoCase(call.progId, "KXBOGeneral_V3.Init");
    if (!client && !ascii::equalsNoCase(call.progId, "KXBO_V2.Init")) {
        throw RemoteError(404, error_number::kCannotCreateObject,
                          "ActiveX component can't create object: unknown object \"" +
                              call.progId.substr(0, 100) + "\".");
    }
    const auto method = std::find_if(kMethods.begin(), kMethods.end(), [&](const Method& m) {
        return ascii::equalsNoCase(m.name, call.method);
    });
    if (method == kMethods.end()) {
        throw RemoteError(404, error_number::kNoSuchMethod,
                          "Object doesn't support this property or method: \"" +
                              call.method.substr(0, 100) + "\".");
    }
    return method->run(
        CallTarget{call, context, services.catalog, services.passwords, services.log, client});
}

std::optional<LoginAttempt> loginAttemptOf(const RemoteCall& call,
                                           const std::string& clientAddress) {
    const bool carriesPassword = ascii::equalsNoCase(call.method, "isValidLogin") ||
                                 ascii::equalsNoCase(call.method, "LoginUser");
    if (!carriesPassword || call.args.size() < 3 ||
        !std::all_of(call.args.begin(), call.args.begin() + 3,
                     [](const nlohmann::json& arg) { return arg.is_string(); })) {
        return std::nullopt;
    }
    return LoginAttempt{call.args[0].get<std::string>(), call.args[1].get<std::string>(),
                        call.args[2].get<std::string>(), clientAddress};
}

}  // namespace kx::server
