#include "launcher/startup/launcher_environment.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "launcher/startup/fonts.h"
#include "platform/system/machine_folders.h"

namespace kx::launcher {

ConnectorFactory connectorTrusting(std::string caFile) {
    return [caFile = std::move(caFile)] {
        dataspace::ConnectionSettings settings;
        settings.caFile = caFile;
        return std::make_shared<dataspace::DataSpace>(std::move(settings));
    };
}

std::int64_t downloadRateLimitFrom(const char* text) {
    std::int64_t limit = 0;
    if (text == nullptr) {
        return 0;
    }
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, limit);
    return error == std::errc() && stop == end && limit > 0 ? limit : 0;
}

LauncherEnvironment LauncherEnvironment::ofThisProcess() {
    LauncherEnvironment environment;
    environment.commandLine = processCommandLine();
    environment.folders = FolderSources::system();
    environment.registryFiles = registry::RegistryFiles::ofThisProcess();
    environment.caFile = sys::caFile();
    environment.downloadRateLimit = downloadRateLimitFrom(std::getenv("KX_DOWNLOAD_RATE_LIMIT"));
    environment.newDataSpace = connectorTrusting(environment.caFile);
    environment.fontSessionFolder = sessionFontFolderOfThisProcess();
    return environment;
}

}  // namespace kx::launcher
