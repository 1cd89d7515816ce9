#pragma once
// The login notes a start reports to the deployment's server: the machine's memory status and
// whether the install folders can be written. Eight lines, each ending in CR LF, in this order:
// "Available Page File = ", "Available Physical Memory = ", "Available Virtual Memory = ", each
// followed by a byte count; "Memory Load = %" followed by the percentage in use; "Total Page
// File = ", "Total Physical Memory = ", "Total Virtual Memory = " with their byte counts; and
// "Has admin access = " followed by "Yes" or "No".
//
// The figures are the machine's memory status (memory_status.h), written as unsigned 64-bit
// decimal numbers: the old 32-bit fields wrapped on machines with more than 4 GB, so the server
// received wrapped, even negative, figures.

#include <string>

#include "platform/system/memory_status.h"

namespace kx::launcher {

std::string buildLoginNotes(const sys::MemoryStatus& memory, bool hasAdmin);

}  // namespace kx::launcher
