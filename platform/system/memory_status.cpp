#include "platform/system/memory_status.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string_view>

#include "platform/system/file_read.h"

namespace kx::sys {

namespace {

constexpr std::size_t kMaxProcFileBytes = 1 << 20;

// The "Key:   1234 kB" lines of /proc/meminfo and /proc/self/status, as byte counts. Lines of any
// other shape are skipped; numbers too large for 64 bits saturate.
std::map<std::string, std::uint64_t, std::less<>> parseKilobyteTable(std::string_view text) {
    std::map<std::string, std::uint64_t, std::less<>> table;
    while (!text.empty()) {
        const auto eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);

        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            continue;
        }
        std::string_view rest = line.substr(colon + 1);
        const auto digits = rest.find_first_not_of(" \t");
        if (digits == std::string_view::npos) {
            continue;
        }
        rest = rest.substr(digits);
        std::uint64_t kilobytes = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), kilobytes);
        if (ec == std::errc::result_out_of_range) {
            kilobytes = std::numeric_limits<std::uint64_t>::max();
        } else if (ec != std::errc{}) {
            continue;
        }
        (void)end;
        constexpr std::uint64_t kMaxKilobytes = std::numeric_limits<std::uint64_t>::max() / 1024;
        table.emplace(std::string(line.substr(0, colon)),
                      kilobytes > kMaxKilobytes ? std::numeric_limits<std::uint64_t>::max()
                                                : kilobytes * 1024);
    }
    return table;
}

std::uint64_t valueOr(const std::map<std::string, std::uint64_t, std::less<>>& table,
                      std::string_view key, std::uint64_t fallback) {
    const auto it = table.find(key);
    return it == table.end() ? fallback : it->second;
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b
               ? std::numeric_limits<std::uint64_t>::max()
               : a + b;
}

std::uint64_t architectureUserSpaceSize() {
#if defined(__aarch64__)
    return std::uint64_t{1} << 48;
#elif UINTPTR_MAX == 0xFFFFFFFFu
    // A 32-bit process: the lower 3 GB are user space with the usual split.
    return std::uint64_t{3} << 30;
#else
    // x86-64 with 4-level page tables, and the default for other 64-bit machines.
    return std::uint64_t{1} << 47;
#endif
}

std::uint64_t addressSpaceSize(const MemoryStatusSources& sources) {
    if (sources.addressSpaceLimit) {
        return *sources.addressSpaceLimit;
    }
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        return static_cast<std::uint64_t>(limit.rlim_cur);
    }
    return architectureUserSpaceSize();
}

bool strictOvercommit(const std::string& path) {
    const auto text = readFileHead(path, 64);
    return text && firstLine(*text) == "2";
}

}  // namespace

std::optional<MemoryStatus> queryMemoryStatus(const MemoryStatusSources& sources) {
    const auto meminfoText = readFileHead(sources.meminfoPath, kMaxProcFileBytes);
    if (!meminfoText) {
        return std::nullopt;
    }
    const auto meminfo = parseKilobyteTable(*meminfoText);
    MemoryStatus status;
    status.totalPhysical = valueOr(meminfo, "MemTotal", 0);
    if (status.totalPhysical == 0) {
        return std::nullopt;
    }
    const auto it = meminfo.find("MemAvailable");
    status.availablePhysical = it != meminfo.end()
                                   ? it->second
                                   : saturatingAdd(saturatingAdd(valueOr(meminfo, "MemFree", 0),
                                                                 valueOr(meminfo, "Buffers", 0)),
                                                   valueOr(meminfo, "Cached", 0));
    status.availablePhysical = std::min(status.availablePhysical, status.totalPhysical);

    const long double used =
        static_cast<long double>(status.totalPhysical - status.availablePhysical);
    status.memoryLoad = static_cast<std::uint32_t>(
        std::lround(100.0L * used / static_cast<long double>(status.totalPhysical)));

    status.totalPageFile = saturatingAdd(status.totalPhysical, valueOr(meminfo, "SwapTotal", 0));
    if (strictOvercommit(sources.overcommitModePath)) {
        const std::uint64_t limit = valueOr(meminfo, "CommitLimit", 0);
        const std::uint64_t committed = valueOr(meminfo, "Committed_AS", 0);
        status.availablePageFile = limit > committed ? limit - committed : 0;
    } else {
        status.availablePageFile =
            saturatingAdd(status.availablePhysical, valueOr(meminfo, "SwapFree", 0));
    }

    status.totalVirtual = addressSpaceSize(sources);
    std::uint64_t mapped = 0;
    if (const auto statusText = readFileHead(sources.processStatusPath, kMaxProcFileBytes)) {
        mapped = valueOr(parseKilobyteTable(*statusText), "VmSize", 0);
    }
    status.availableVirtual = status.totalVirtual > mapped ? status.totalVirtual - mapped : 0;
    return status;
}

}  // namespace kx::sys
