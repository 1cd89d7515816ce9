#include "server/demo_catalog.h"

#include <chrono>
#include <fstream>
#include <stdexcept>

#include "server/catalog.h"
#include "server/password.h"
#include "server/publish.h"

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

// One kind of install file: the files of a staging folder, published with the same options.
struct DemoKind {
    const char* folder;
    std::int64_t installType;
    const char* location;
    bool compress = false;
    const char* version = "";  // "" takes the side file's or the file's own version
    const char* altCheck = "";
};

// The rows in the order the launcher walks them: regsvr32 before the component it registers.
const DemoKind kDemoKinds[] = {
    {"common", 2, "COMMONDIR"},
    {"component", 1, "COMMONDIR"},
    {"data", 5, "COMMONDIR"},
    {"compressed", 5, "KESTRIXDIR", true},
    {"font", 2, "FONTSDIR", false, "1.0.0.0"},
    {"installer", 4, "TEMPDIR", false, "1.0.0.0", "<SYSTEMDIR>/KXDemoSetup.log"},
    {"program", 2, "KESTRIXDIR"},
};

// The installer the demo runs (type 4): it records what it did, and its version, in the system
// folder, where the row's AltCheck looks for it, so a second start finds it current.
constexpr const char* kDemoInstaller = R"(#!/bin/sh
# The demo installer: records that it ran, and the version it installed, in the system folder.
folder="${KX_SYSTEM_DIR:-/var/lib/kestrix/system}"
mkdir -p "$folder" || exit 1
date -u "+KX Vantor demo installer ran at %Y-%m-%dT%H:%M:%SZ" >"$folder/KXDemoSetup.log"
printf '1.0.0.0\r\n' >"$folder/KXDemoSetup.log.ver"
)";

// A data file large enough for its download to be watched (a few megabytes).
std::string demoData() {
    std::string text;
    for (int record = 1; record <= 100000; ++record) {
        std::string line = "Demo data record " + std::to_string(record);
        line.resize(63, '.');
        text += line + "\n";
    }
    return text;
}

void stageDemoFiles(const fs::path& staging, const fs::path& demoProgram) {
    for (const DemoKind& kind : kDemoKinds) {
        fs::create_directories(staging / kind.folder);
    }
    const auto copyBeside = [&](const char* folder, const fs::path& file) {
        fs::copy_file(file, staging / folder / file.filename(),
                      fs::copy_options::overwrite_existing);
    };
    copyBeside("common", findBesideServer("regsvr32"));
    copyBeside("component", findBesideServer("libkxdemocomponent.so"));
    copyBeside("font", findBesideServer("KXDemo39.ttf"));
    copyBeside("program", demoProgram);
    writeText(staging / "data" / "DemoData.dat", demoData());
    writeText(staging / "data" / "DemoData.dat.ver", "1.0.0.1\n");
    writeText(staging / "compressed" / "Manual.txt",
              std::string(4096, '=') + "\nThe demo manual, served compressed.\n");
    writeText(staging / "compressed" / "Manual.txt.ver", "1.0.0.0\n");
    writeText(staging / "installer" / "KXDemoSetup.sh", kDemoInstaller);
}

}  // namespace

fs::path findBesideServer(const std::string& name) {
    const fs::path file = fs::read_symlink("/proc/self/exe").parent_path() / name;
    if (!fs::is_regular_file(file)) {
        throw std::runtime_error(name + " is not beside kxserver in " +
                                 file.parent_path().string());
    }
    return file;
}

fs::path findDemoProgram() {
    for (const char* name : {"kxdemoapp", "kxdemoapp.sh"}) {
        try {
            return findBesideServer(name);
        } catch (const std::runtime_error&) {
        }
    }
    throw std::runtime_error("the demo program (kxdemoapp or kxdemoapp.sh) is not beside kxserver");
}

void createDemoCatalog(const fs::path& dir, const fs::path& demoProgram) {
    Catalog::create(dir, kDefaultPasswordCost);
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
    stageDemoFiles(staging, demoProgram);
    for (const DemoKind& kind : kDemoKinds) {
        PublishOptions options;
        options.group = kDemoGroup;
        options.folder = staging / kind.folder;
        options.installType = kind.installType;
        options.location = kind.location;
        options.compress = kind.compress;
        options.version = kind.version;
        options.altCheck = kind.altCheck;
        publishFolder(catalog, options, now);
    }
    addStartRow(catalog, kDemoGroup, demoProgram.filename().string(), "KESTRIXDIR",
                "Demo application");
}

}  // namespace kx::server
