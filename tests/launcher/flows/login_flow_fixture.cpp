#include "tests/launcher/flows/login_flow_fixture.h"

#include <iostream>

#include "launcher/login/login_procedures.h"

namespace kx::test {

LoginFlowTest::LoginFlowTest() {
    // A low key-derivation cost keeps the many logins of the suite quick.
    kxserver({"init", catalog().string(), "--password-memory", "8", "--password-passes", "1"});
    addUser("ALICE", "s3cret");
}

LoginFlowTest::~LoginFlowTest() {
    // The boxes explain most failures, a crash report included.
    if (HasFailure()) {
        for (const auto& box : boxes_.shown()) {
            std::cerr << "message box: " << box.prompt << "\n";
        }
    }
}

std::string LoginFlowTest::admin(const std::string& command,
                                 const std::vector<std::string>& args) const {
    std::vector<std::string> full = {command, catalog().string()};
    full.insert(full.end(), args.begin(), args.end());
    return kxserver(full);
}

void LoginFlowTest::addUser(const std::string& login, const std::string& password) const {
    admin("add-user", {"ACME", login, password});
}

void LoginFlowTest::addServer(const std::string& name, const std::string& path) const {
    admin("add-server", {name, path});
}

std::int64_t LoginFlowTest::addDeployment(const DeploymentSpec& spec,
                                          const std::string& login) const {
    const std::string id =
        admin("add-deployment",
              {"--type", spec.type, "--description", spec.description, "--path", spec.path,
               "--check-for-updates", spec.checkForUpdates, "--group", std::to_string(spec.group),
               "--custom-group", std::to_string(spec.customGroup)});
    admin("grant", {"ACME", login, id.substr(0, id.find('\n'))});
    return std::stoll(id);
}

void LoginFlowTest::addGroup(std::int64_t group, const std::string& stamp) const {
    const auto folder = serverDir_ / ("files" + std::to_string(group));
    writeFile(folder / "readme.txt", "group " + std::to_string(group) + "\n");
    admin("publish", {"--group", std::to_string(group), folder.string()});
    admin("set-stamp", {std::to_string(group), stamp});
}

void LoginFlowTest::serve(const std::string& publicUrl) {
    serve_ = std::make_unique<ServeProcess>(catalog(), publicUrl);
}

void LoginFlowTest::startLauncher(const ConfigRows& extraConfig, const std::string& baseUrl) {
    if (!serve_) {
        serve();
    }
    ConfigRows rows = {{"BaseURL", baseUrl.empty() ? serve_->url() : baseUrl}};
    rows.insert(rows.end(), extraConfig.begin(), extraConfig.end());
    setup_.configure(rows);
    form_ = std::make_unique<launcher::FrmLogin>(view_, setup_.environment());
    view_.attach(*form_);
    form_->Load();
    launcher::wireLoginProcedures(*form_);
}

void LoginFlowTest::login(const std::string& filerCode, const std::string& login,
                          const std::string& password) {
    using launcher::Control;
    view_.type(Control::txtFilerCode, filerCode);
    view_.type(Control::txtLogin, login);
    view_.type(Control::txtPassword, password);
    ASSERT_TRUE(view_.press(Control::cmdLogin));
}

std::string LoginFlowTest::shownPrompt(std::size_t index) const {
    return index < boxes_.shown().size() ? boxes_.shown()[index].prompt
                                         : "<no box " + std::to_string(index) + ">";
}

}  // namespace kx::test
