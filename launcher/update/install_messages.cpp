#include "launcher/update/install_messages.h"

#include <cmath>

#include "launcher/update/download_rules.h"
#include "platform/runtime/vb_format.h"

namespace kx::launcher {

namespace {

std::string grouped(std::int16_t count) {
    return Format(Variant(count), "#,##0");
}

std::string kilobytes(std::int64_t bytes) {
    return std::to_string(
        static_cast<std::int64_t>(std::nearbyint(static_cast<double>(bytes) / 1024)));
}

}  // namespace

std::string updatesFoundCaption(std::int16_t count) {
    return grouped(count) + " update" + (count == 1 ? "" : "s") + " found...";
}

std::string updateSummary(const std::string& loginDesc, std::int16_t count) {
    return loginDesc + "\r\r" + grouped(count) + (count == 1 ? " file was" : " files were") +
           " updated.";
}

std::string updateWarning(std::int16_t count, const std::string& warnSetting) {
    std::string text =
        "WARNING: You are not using the latest version of this application.  There are " +
        grouped(count) + " file" + (count == 1 ? "" : "s") +
        " needing an update on this machine/server.";
    if (warnSetting == "A") {
        text += "\r\rPlease notify your System Administrator.";
    }
    return text;
}

std::string tryingAgainCaption(int failures, const std::string& description) {
    return "Trying Again (" + std::to_string(failures) + " of " + std::to_string(kDownloadRetries) +
           "): " + description;
}

std::string bytesCaption(std::int64_t received, std::int64_t announced) {
    return kilobytes(received) + "k of " + kilobytes(announced) + "k";
}

}  // namespace kx::launcher
