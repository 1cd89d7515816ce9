#include "launcher/crash/crash_symbols.h"

#include <cxxabi.h>
#include <elfutils/libdwfl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "launcher/crash/crash_record.h"

namespace kx::crash {

namespace {

struct DwflDeleter {
    void operator()(Dwfl* dwfl) const { dwfl_end(dwfl); }
};
using DwflSession = std::unique_ptr<Dwfl, DwflDeleter>;

// The modules of the crashed process at the addresses it had them.
DwflSession modulesOf(const std::string& maps) {
    // Debug information only from this machine: a crash report never waits on a download.
    unsetenv("DEBUGINFOD_URLS");
    static char* debuginfoPath = nullptr;
    static const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo,
                                             nullptr, &debuginfoPath};
    DwflSession session(dwfl_begin(&callbacks));
    if (!session || maps.empty()) {
        return session;
    }
    dwfl_report_begin(session.get());
    if (std::FILE* text = fmemopen(const_cast<char*>(maps.data()), maps.size(), "r")) {
        dwfl_linux_proc_maps_report(session.get(), text);
        std::fclose(text);
    }
    dwfl_report_end(session.get(), nullptr, nullptr);
    return session;
}

std::string readableSymbol(const char* name) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), &std::free);
    return status == 0 && demangled ? demangled.get() : name;
}

std::string baseName(const char* path) {
    const std::string text(path);
    return text.substr(text.rfind('/') + 1);
}

std::string hexOffset(std::uint64_t offset) {
    char text[20];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(offset));
    return text;
}

std::string describeAddress(Dwfl* dwfl, std::uint64_t address) {
    Dwfl_Module* module = dwfl != nullptr ? dwfl_addrmodule(dwfl, address) : nullptr;
    if (module == nullptr) {
        return "";
    }
    std::string text;
    GElf_Off offset = 0;
    GElf_Sym symbol{};
    if (const char* name =
            dwfl_module_addrinfo(module, address, &offset, &symbol, nullptr, nullptr, nullptr)) {
        text += " " + readableSymbol(name) + "+" + hexOffset(offset);
    }
    Dwarf_Addr start = 0;
    if (const char* file = dwfl_module_info(module, nullptr, &start, nullptr, nullptr, nullptr,
                                            nullptr, nullptr)) {
        text += " (" + baseName(file) + "+" + hexOffset(address - start) + ")";
    }
    int line = 0;
    if (Dwfl_Line* source = dwfl_module_getsrc(module, address)) {
        if (const char* file = dwfl_lineinfo(source, nullptr, &line, nullptr, nullptr, nullptr)) {
            text += " " + baseName(file) + ":" + std::to_string(line);
        }
    }
    return text;
}

}  // namespace

std::vector<std::string> symbolizeBacktrace(const std::string& maps,
                                            const std::vector<std::uint64_t>& frames,
                                            bool firstIsInstruction) {
    const DwflSession session = modulesOf(maps);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        // A return address points after its call: the call itself is one byte before.
        const bool instruction = i == 0 && firstIsInstruction;
        const std::uint64_t lookup = instruction || frames[i] == 0 ? frames[i] : frames[i] - 1;
        lines.push_back("#" + std::to_string(i) + " " + addressText(frames[i]) +
                        describeAddress(session.get(), lookup));
    }
    return lines;
}

}  // namespace kx::crash
