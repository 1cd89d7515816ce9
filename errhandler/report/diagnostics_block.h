#pragma once
// The machine diagnostics that an error report appends to the masked context: the library's
// version, the memory figures, the operating system and the two component audits.

#include <cstdint>
#include <string>

#include "platform/system/memory_status.h"

namespace kx::errhandler {

struct DiagnosticsInputs {
    sys::MemoryStatus memory;    // all zero when the memory status could not be read
    std::string windowsVersion;  // GetWindowsVersion()
    std::string mdacAudit;       // CheckMDAC()
    std::string crystalAudit;    // CheckCrystalVSFlex()
};

// `value` formatted with the pattern "#,###,###,###": digits grouped by threes with ",", nothing
// at all for zero. Values beyond 2^63 - 1 (no memory figure comes near) show as 2^63 - 1.
std::string formatGrouped(std::uint64_t value);

// The block from "Error Handler Version = " to the last audit, each line ended by CR LF:
//   Error Handler Version = 300.1004.12
//   Available Page File = <grouped>      Available Physical Memory = <grouped>
//   Available Virtual Memory = <grouped> Memory Load = %<percent>
//   Total Page File = <grouped>          Total Physical Memory = <grouped>
//   Total Virtual Memory = <grouped>
//   Windows Version: <text>  MDAC Components: <audit>  CRYSTAL + VSFLEX: <audit>
// (one item per line, in this order). A pure function of its inputs.
std::string formatDiagnosticsBlock(const DiagnosticsInputs& inputs);

// Gathers the inputs on this machine, in the order a report does: memory status, then
// GetWindowsVersion, CheckMDAC and CheckCrystalVSFlex.
DiagnosticsInputs gatherDiagnostics();

}  // namespace kx::errhandler
