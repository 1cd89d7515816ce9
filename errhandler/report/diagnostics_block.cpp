#include "errhandler/report/diagnostics_block.h"

#include <algorithm>
#include <limits>

#include "errhandler/report/audits.h"
#include "errhandler/report/version.h"
#include "platform/runtime/variant.h"
#include "platform/runtime/vb_format.h"

namespace kx::errhandler {

std::string formatGrouped(std::uint64_t value) {
    constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return Format(Variant(static_cast<std::int64_t>(std::min(value, kLargest))), "#,###,###,###");
}

std::string formatDiagnosticsBlock(const DiagnosticsInputs& in) {
    const auto line = [](const std::string& label, const std::string& value) {
        return label + value + "\r\n";
    };
    const sys::MemoryStatus& m = in.memory;
    return line("Error Handler Version = ", std::to_string(kLibraryMajor) + "." +
                                                std::to_string(kLibraryMinor) + "." +
                                                std::to_string(kLibraryRevision)) +
           line("Available Page File = ", formatGrouped(m.availablePageFile)) +
           line("Available Physical Memory = ", formatGrouped(m.availablePhysical)) +
           line("Available Virtual Memory = ", formatGrouped(m.availableVirtual)) +
           line("Memory Load = %", std::to_string(m.memoryLoad)) +
           line("Total Page File = ", formatGrouped(m.totalPageFile)) +
           line("Total Physical Memory = ", formatGrouped(m.totalPhysical)) +
           line("Total Virtual Memory = ", formatGrouped(m.totalVirtual)) +
           line("Windows Version: ", in.windowsVersion) + line("MDAC Components: ", in.mdacAudit) +
           line("CRYSTAL + VSFLEX: ", in.crystalAudit);
}

DiagnosticsInputs gatherDiagnostics() {
    DiagnosticsInputs in;
    in.memory = sys::queryMemoryStatus().value_or(sys::MemoryStatus{});
    in.windowsVersion = GetWindowsVersion();
    in.mdacAudit = CheckMDAC();
    in.crystalAudit = CheckCrystalVSFlex();
    return in;
}

}  // namespace kx::errhandler
