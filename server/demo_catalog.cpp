#include "demo_catalog.h"

#include <chrono>
#include <fstream>
#include <stdexcept>

#include "catalog.h"
#include "password.h"
#include "publish.h"

namespace kx::server {

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kDemoGroup = 1;

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

// Publishes the files of one staging folder as one kind of install file.
void publishStaged(Catalog& catalog, const fs::path& staging, std::int64_t installType,
                   const std::string& location, bool compress, std::int64_t now) {
    PublishOptions options;
    options.group = kDemoGroup;
    options.folder = staging;
    options.installType = installType;
    options.location = location;
    options.compress = compress;
    options.version = "1.0.0.0";
    publishFolder(catalog, options, now);
}

}  // namespace

fs::path findDemoProgram() {
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    for (const char* name : {"kxdemoapp", "kxdemoapp.sh"}) {
        if (fs::is_regular_file(bin / name)) {
            return bin / name;
        }
    }
    throw std::runtime_error("the demo program (kxdemoapp or kxdemoapp.sh) is not in " +
                             bin.string());
}

void createDemoCatalog(const fs::path& dir, const fs::path& demoProgram) {
    Catalog::create(dir, kDefaultPbkdf2Iterations);
    Catalog catalog(dir);
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();

    catalog.addUser("DEMO", "DEMO", "demo");
    catalog.addLoginServer("Demo Server 1", "/bo/server1");
    catalog.addLoginServer("Demo Server 2", "/bo/server2");
    Deployment broker{1001,         "BROKER", "Demo Broker", "/bo/server1",
                      "DemoBroker", "Y",      kDemoGroup,    0};
    Deployment client{1002,         "CLIENT", "Demo Client", "/bo/server2",
                      "DemoClient", "",       kDemoGroup,    0};
    catalog.grant("DEMO", "DEMO", catalog.addDeployment(broker));
    catalog.grant("DEMO", "DEMO", catalog.addDeployment(client));

    // The files are staged in folders of their own so that each kind is published with its
    // own options, as an administrator would.
    const fs::path staging = dir / "demo-source";
    for (const char* kind : {"plain", "data", "compressed", "program"}) {
        fs::create_directories(staging / kind);
    }
    writeText(staging / "plain" / "ReadMe.txt", "Welcome to the KX Vantor demo.\n");
    writeText(staging / "data" / "DemoData.dat", "demo data, version 1.0.0.1\n");
    writeText(staging / "data" / "DemoData.dat.ver", "1.0.0.1\n");
    writeText(staging / "compressed" / "Manual.txt",
              std::string(4096, '=') + "\nThe demo manual, served compressed.\n");
    fs::copy_file(demoProgram, staging / "program" / demoProgram.filename(),
                  fs::copy_options::overwrite_existing);

    publishStaged(catalog, staging / "plain", 2, "KESTRIXDIR", false, now);
    publishStaged(catalog, staging / "data", 5, "COMMONDIR", false, now);
    publishStaged(catalog, staging / "compressed", 2, "KESTRIXDIR", true, now);
    publishStaged(catalog, staging / "program", 2, "KESTRIXDIR", false, now);
    addStartRow(catalog, kDemoGroup, demoProgram.filename().string(), "KESTRIXDIR",
                "Demo application");
}

}  // namespace kx::server
