#pragma once
// What the launcher takes from the machine it runs on and from its own process, gathered once by
// the program's entry and handed through Main down to the window and the procedures it wires; tests
// build their own instead of changing the process's variables.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "launcher/startup/directories.h"
#include "launcher/startup/system_utilities.h"
#include "platform/dataspace/data_space.h"
#include "platform/registry/registry.h"

namespace kx::launcher {

// Creates the remote data-space connector of one login or one start.
using ConnectorFactory = std::function<std::shared_ptr<dataspace::DataSpace>()>;

struct LauncherEnvironment {
    std::string commandLine;  // the program's arguments, joined by blanks
    FolderSources folders;    // the program's folder, the per-user data folder, machine folders
    // The registry's files; Main tells the registry to use them for the whole run.
    registry::RegistryFiles registryFiles;
    // PEM file of the authorities https is verified against, for remote calls and downloads;
    // "": the system's store.
    std::string caFile;
    // Downloads receive at most this many bytes per second (0: no limit), to watch one.
    std::int64_t downloadRateLimit = 0;
    // The wait before the first retry of a download that failed in a way that may pass; each
    // further retry waits twice as long.
    std::chrono::milliseconds downloadRetryWait{1000};
    ConnectorFactory newDataSpace;
    // This user session's private folder for the fonts published to started programs; "": none
    // are published.
    std::string fontSessionFolder;
    // Starts the programs the install run waits for (installers, regsvr32).
    SpawnFunction spawn = posixSpawnProgram;
    // The time that the expiry of signed install lists is judged by.
    std::function<std::chrono::system_clock::time_point()> now = [] {
        return std::chrono::system_clock::now();
    };

    // This process's command line, folders (FolderSources::system()), registry files
    // (RegistryFiles::ofThisProcess()) and font session folder (sessionFontFolderOfThisProcess),
    // and the variables KX_CA_FILE and KX_DOWNLOAD_RATE_LIMIT (a count of bytes; anything else
    // means no limit).
    static LauncherEnvironment ofThisProcess();
};

// Connectors whose calls trust `caFile` ("" : the system's store), with the default time-outs.
ConnectorFactory connectorTrusting(std::string caFile);

// The download rate limit a variable's text asks for: a positive count of bytes per second, or 0
// for no limit (unset, empty, not a number, zero or negative).
std::int64_t downloadRateLimitFrom(const char* text);

}  // namespace kx::launcher
