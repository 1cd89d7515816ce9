#include "launcher/update/login_notes.h"

namespace kx::launcher {

namespace {

void appendLine(std::string& notes, const char* label, const std::string& value) {
    notes += label;
    notes += value;
    notes += "\r\n";
}

}  // namespace

std::string buildLoginNotes(const sys::MemoryStatus& memory, bool hasAdmin) {
    std::string notes;
    appendLine(notes, "Available Page File = ", std::to_string(memory.availablePageFile));
    appendLine(notes, "Available Physical Memory = ", std::to_string(memory.availablePhysical));
    appendLine(notes, "Available Virtual Memory = ", std::to_string(memory.availableVirtual));
    appendLine(notes, "Memory Load = %", std::to_string(memory.memoryLoad));
    appendLine(notes, "Total Page File = ", std::to_string(memory.totalPageFile));
    appendLine(notes, "Total Physical Memory = ", std::to_string(memory.totalPhysical));
    appendLine(notes, "Total Virtual Memory = ", std::to_string(memory.totalVirtual));
    appendLine(notes, "Has admin access = ", hasAdmin ? "Yes" : "No");
    return notes;
}

}  // namespace kx::launcher
