#include "remote_calls.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <set>
#include <string_view>

#include "lists.h"

namespace kx::server {

namespace {

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The object the call is made on: the CLIENT object serves CLIENT deployments, the other one
// every other type.
struct CallTarget {
    const RemoteCall& call;
    const CallContext& context;
    Catalog& catalog;
    bool clientObject;

    // Deployments are looked up at the posted path; the base service looks at all of them.
    std::string scopePath() const {
        return context.busObjPath == "/" ? std::string() : context.busObjPath;
    }
};

TokenBinding requireToken(const CallTarget& target) {
    const std::string token = textArgument(target.call, 0, "token");
    auto binding =
        target.catalog.resolveToken(token, target.context.busObjPath, target.context.now);
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
    for (const auto& d :
         target.catalog.grantedDeployments(binding.userId, target.scopePath(), binding.client)) {
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
    const auto user =
        t.catalog.findUser(textArgument(t.call, 0, "Filer Code"), textArgument(t.call, 1, "Login"));
    return loginServersXml(user ? t.catalog.loginServersFor(user->id) : std::vector<LoginServer>{},
                           t.context.baseUrl);
}

nlohmann::json getDeployments(const CallTarget& t) {
    expectArgumentCount(t.call, 2);
    const auto user =
        t.catalog.findUser(textArgument(t.call, 0, "Filer Code"), textArgument(t.call, 1, "Login"));
    return deploymentsXml(user ? t.catalog.deploymentsFor(user->id) : std::vector<Deployment>{},
                          t.context.baseUrl);
}

nlohmann::json isValidLogin(const CallTarget& t) {
    expectArgumentCount(t.call, 5);
    const std::string filer = textArgument(t.call, 0, "Filer Code");
    const std::string login = textArgument(t.call, 1, "Login");
    const std::string password = textArgument(t.call, 2, "Password");
    const bool client = flagArgument(t.call, 3, "client flag");
    flagArgument(t.call, 4, "reserved flag");
    const auto user = t.catalog.authenticate(filer, login, password);
    return user && !t.catalog.grantedDeployments(user->id, t.scopePath(), client).empty();
}

nlohmann::json loginUser(const CallTarget& t) {
    expectArgumentCount(t.call, 4);
    const std::string filer = textArgument(t.call, 0, "Filer Code");
    const std::string login = textArgument(t.call, 1, "Login");
    const std::string password = textArgument(t.call, 2, "Password");
    const std::string ipText = textArgument(t.call, 3, "IP address");
    const auto user = t.catalog.authenticate(filer, login, password);
    if (!user) {
        return "";
    }
    const auto deployments = t.catalog.grantedDeployments(user->id, t.scopePath(), t.clientObject);
    if (deployments.empty()) {
        return "";
    }
    TokenBinding binding;
    binding.userId = user->id;
    binding.deploymentId = deployments.front().id;
    binding.busObjPath = t.context.busObjPath;
    binding.client = t.clientObject;
    binding.ipText = ipText.substr(0, 200);
    return t.catalog.issueToken(binding, t.context.now + t.catalog.tokenLifetimeSeconds());
}

nlohmann::json getUpdateInfoLastUpdate(const CallTarget& t) {
    expectArgumentCount(t.call, 2);
    const TokenBinding binding = requireToken(t);
    const std::string name = textArgument(t.call, 1, "install group name");
    constexpr std::string_view kPrefix = "INSTALL_";
    std::int64_t group = 0;
    const char* digits = name.data() + std::min(name.size(), kPrefix.size());
    const auto [end, ec] = std::from_chars(digits, name.data() + name.size(), group);
    if (name.size() <= kPrefix.size() || !sameText(name.substr(0, kPrefix.size()), kPrefix) ||
        ec != std::errc() || end != name.data() + name.size() || group <= 0) {
        throw RemoteError(400, error_number::kInvalidArgument,
                          "An install group name is INSTALL_ followed by the group id.");
    }
    requireCovered(groupsCoveredBy(t, binding), group);
    const auto stamp = t.catalog.groupStamp(group);
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
    return installFilesXml(t.catalog.installFiles(group, customGroup));
}

nlohmann::json writeLoginNotes(const CallTarget& t) {
    expectArgumentCount(t.call, 2);
    const TokenBinding binding = requireToken(t);
    t.catalog.addLoginNote(binding, textArgument(t.call, 1, "notes"), t.context.clientAddress,
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

nlohmann::json runRemoteCall(Catalog& catalog, const RemoteCall& call, const CallContext& context) {
    // Object and member names are matched without regard to case, as late binding does.
    const bool client = sameText(call.progId, "KXBOGeneral_V3.Init");
    if (!client && !sameText(call.progId, "KXBO_V2.Init")) {
        throw RemoteError(404, error_number::kCannotCreateObject,
                          "ActiveX component can't create object: unknown object \"" +
                              call.progId.substr(0, 100) + "\".");
    }
    const auto method = std::find_if(kMethods.begin(), kMethods.end(), [&](const Method& m) {
        return sameText(m.name, call.method);
    });
    if (method == kMethods.end()) {
        throw RemoteError(404, error_number::kNoSuchMethod,
                          "Object doesn't support this property or method: \"" +
                              call.method.substr(0, 100) + "\".");
    }
    return method->run(CallTarget{call, context, catalog, client});
}

}  // namespace kx::server
