#include "errhandler/report/report_address.h"

#include <cstdlib>

#include "platform/registry/registry.h"

namespace kx::errhandler {

std::string errorReportUrl() {
    if (const char* fromEnvironment = std::getenv(kReportUrlVariable);
        fromEnvironment != nullptr && *fromEnvironment != '\0') {
        return fromEnvironment;
    }
    const auto configured =
        registry::queryString(registry::Hive::LocalMachine, kReportUrlKey, kReportUrlValue);
    return configured && !configured->empty() ? *configured : kDefaultReportUrl;
}

}  // namespace kx::errhandler
