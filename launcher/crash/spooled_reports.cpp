#include "launcher/crash/spooled_reports.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <iostream>
#include <system_error>
#include <thread>

#include "launcher/crash/error_object.h"
#include "platform/runtime/debug_log.h"
#include "platform/runtime/dispatch.h"
#include "platform/runtime/vb_convert.h"

namespace kx::crash {

namespace {

std::atomic<bool> g_sending{false};

void sendSpooledReports() {
    try {
        const Variant delivered = createErrorObject()->call("SendSpooledReports");
        debugLog("spooled error reports delivered: " + CStr(delivered));
    } catch (const std::exception& failure) {
        debugLog(std::string("spooled error reports were not sent: ") + failure.what());
    }
    g_sending = false;
}

}  // namespace

void sendSpooledReportsInBackground() {
    if (g_sending.exchange(true)) {
        return;
    }
    try {
        std::thread(&sendSpooledReports).detach();
    } catch (const std::system_error& failure) {
        g_sending = false;
        debugLog(std::string("no thread to send spooled error reports: ") + failure.what());
    }
}

bool spooledReportsBeingSent() {
    return g_sending;
}

void endAtOnceWhileSpooledReportsAreSent(int exitCode) {
    if (!g_sending) {
        return;
    }
    debugLog("ending while spooled error reports are being sent; they stay for the next start");
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    _exit(exitCode);
}

}  // namespace kx::crash
