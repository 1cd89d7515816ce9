#include "report_server.h"

#include <sstream>

namespace kx::test {

ReportServer::ReportServer() {
    kxserver({"init", (dir_ / "catalog").string(), "--pbkdf2-iterations", "1"});
    serve_ = std::make_unique<ServeProcess>(dir_ / "catalog");
}

std::vector<nlohmann::ordered_json> ReportServer::reports() const {
    std::istringstream lines(kxserver({"reports", (dir_ / "catalog").string()}));
    std::vector<nlohmann::ordered_json> fields;
    for (std::string line; std::getline(lines, line);) {
        fields.push_back(nlohmann::ordered_json::parse(line).at("fields"));
    }
    return fields;
}

}  // namespace kx::test
