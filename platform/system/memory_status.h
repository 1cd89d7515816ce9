#pragma once
// The machine's memory status: the figures the old platform's memory-status query gave, read from
// Linux's own accounting. All sizes are unsigned 64-bit byte counts; the old query's 32-bit fields
// overflowed on any machine with more than 4 GB, so nothing here is clamped.
//
// Field by field (kB figures of /proc/meminfo are multiplied by 1024):
//   totalPhysical      MemTotal
//   availablePhysical  MemAvailable (kernels before 3.14: MemFree + Buffers + Cached)
//   memoryLoad         percent of physical memory in use, round(100 * (total - available) / total)
//   totalPageFile      MemTotal + SwapTotal: RAM plus swap, what Windows calls the commit limit
//   availablePageFile  MemAvailable + SwapFree; in strict overcommit mode (overcommit_memory = 2)
//                      CommitLimit - Committed_AS, at least 0, since only then is that limit
//                      enforced
//   totalVirtual       the size of this process's address space: the RLIMIT_AS soft limit when
//                      finite, else the user-space size of the architecture (x86-64: 2^47 bytes)
//   availableVirtual   totalVirtual - VmSize of this process (from its status file), at least 0

#include <cstdint>
#include <optional>
#include <string>

namespace kx::sys {

struct MemoryStatus {
    std::uint32_t memoryLoad = 0;  // percent, 0..100
    std::uint64_t totalPhysical = 0;
    std::uint64_t availablePhysical = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t availablePageFile = 0;
    std::uint64_t totalVirtual = 0;
    std::uint64_t availableVirtual = 0;
};

// Where the figures come from; tests point the paths at fixture files.
struct MemoryStatusSources {
    std::string meminfoPath = "/proc/meminfo";
    std::string processStatusPath = "/proc/self/status";
    std::string overcommitModePath = "/proc/sys/vm/overcommit_memory";
    // The address-space size to use instead of RLIMIT_AS and the architecture's size.
    std::optional<std::uint64_t> addressSpaceLimit;
};

// Reads the memory status. nullopt when the meminfo file cannot be read or carries no positive
// MemTotal; a missing status or overcommit file only leaves the figures that need it at their
// fallbacks (VmSize 0, overcommit mode 0).
std::optional<MemoryStatus> queryMemoryStatus(const MemoryStatusSources& sources = {});

}  // namespace kx::sys
