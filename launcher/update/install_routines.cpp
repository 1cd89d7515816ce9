#include "install_routines.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "create_object.h"
#include "directories.h"
#include "file_placement.h"
#include "launcher_state.h"
#include "run_time_error.h"
#include "shell_execute.h"
#include "system_utilities.h"
#include "trap.h"
#include "vb_convert.h"
#include "vb_strings.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr const char* kRegsvr32 = "regsvr32";

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Puts `source` in place at `target`; a failure sets NeedRestart and is written to the log.
bool place(const std::string& source, const std::string& target) {
    const files::PlacementFailure failure = files::placeFileCopy(source, target);
    if (!failure.empty()) {
        std::cerr << "KXVantor: " << failure << "\n";
        Module1().NeedRestart = true;
        return false;
    }
    RemoveFile(source);
    return true;
}

bool placeSideFile(const std::string& FileVersion, const std::string& sideFile) {
    const files::PlacementFailure failure = files::placeContent(FileVersion + "\r\n", sideFile);
    if (!failure.empty()) {
        std::cerr << "KXVantor: " << failure << "\n";
        Module1().NeedRestart = true;
        return false;
    }
    return true;
}

void runInstaller(const std::string& FileName, const SpawnFunction& spawn) {
    const std::string name = UCase(FileName);
    std::string commandLine = FileName;
    bool named = true;
    if (InStr(name, "MDAC_TYP.EXE") > 0) {
        commandLine += " /q:a /c:\"dasetup.exe /q /n\"";
    } else if (InStr(name, "JET40SP3_COMP.EXE") > 0) {
    } else if (InStr(name, "VBRUN60") > 0) {
        commandLine += " /Q";
    } else {
        named = false;
    }
    const std::int32_t exitCode = ExecCmd(commandLine, spawn);
    if (named && (exitCode == kRestartRequired || exitCode == kRestartRequiredExitStatus)) {
        Module1().NeedRestart = true;
    }
}

}  // namespace

bool InstallFile(const std::string& FileName, std::int16_t HowToDoIt, std::string& WhereToPutIt,
                 const std::string& FileVersion, const LauncherEnvironment& environment) {
    bool placed = true;
    Frame frame("Module1", "InstallFile");
    frame.param("FileName", FileName)
        .param("HowToDoIt", HowToDoIt)
        .param("WhereToPutIt", WhereToPutIt)
        .param("FileVersion", FileVersion);
    return trapped(frame, [&] {
        frame.line(10);
        switch (HowToDoIt) {
            case 1:
            case 2:
            case 5:
                frame.line(20);
                placed = place(FileName, WhereToPutIt);
                if (placed && HowToDoIt == 1) {
                    frame.line(30);
                    RegisterFile(WhereToPutIt, environment);
                } else if (placed && HowToDoIt == 5) {
                    frame.line(40);
                    WhereToPutIt += ".ver";
                    placed = placeSideFile(FileVersion, WhereToPutIt);
                }
                break;
            case 3:
                frame.line(50);
                files::setModeByContent(FileName);
                if (shell::ShellExecute("open", FileName, "", "", shell::SW_SHOWMINIMIZED) <= 32) {
                    raiseError(vberr::kFileNotFound, "InstallFile", "File not found: " + FileName);
                }
                break;
            case 4:
                frame.line(60);
                files::setModeByContent(FileName);
                runInstaller(FileName, environment.spawn);
                break;
            default:
                break;
        }
        return placed;
    });
}

bool RemoveFile(const std::string& FileName) {
    bool result = false;
    Frame frame("Module1", "RemoveFile");
    frame.local("RemoveFile", result).param("FileName", FileName);
    return trapped(frame, [&] {
        frame.line(10);
        struct stat info {};
        if (::lstat(FileName.c_str(), &info) != 0) {
            result = errno == ENOENT || errno == ENOTDIR;
            return result;
        }
        if (S_ISDIR(info.st_mode)) {
            return result;  // a folder of that name is not a file this can delete
        }
        frame.line(20);
        result = ::unlink(FileName.c_str()) == 0;
        return result;
    });
}

void RegisterFile(const std::string& FileName, const LauncherEnvironment& environment) {
    std::string program;
    Frame frame("Module1", "RegisterFile");
    frame.local("program", program).param("FileName", FileName);
    trapped(frame, [&] {
        frame.line(10);
        program = Module1().CommonDir + "/" + kRegsvr32;
        if (!isRegularFile(program)) {
            program = environment.folders.programFolder() + "/" + kRegsvr32;
        }
        frame.line(20);
        ExecCmd(program + " /s \"" + FileName + "\"", environment.spawn);
    });
}

bool DeCompressFile(std::string CompressedFile) {
    ObjectPtr oExpander;
    bool expanded = false;
    Frame frame("Module1", "DeCompressFile");
    frame.local("oExpander", oExpander)
        .local("expanded", expanded)
        .param("CompressedFile", CompressedFile);
    return trapped(frame, [&] {
        const Module1State& m = Module1();
        frame.line(10);
        RemoveFile(m.TempDir + "/" + m.FileNameToWrite);
        oExpander = com::CreateObject(kExpanderProgId);
        frame.line(20);
        oExpander->put("DestinationFolder", Variant(m.TempDir));
        oExpander->put("InputFile", Variant(CompressedFile));
        frame.line(30);
        const Variant answer = oExpander->call("Expand");
        expanded = answer.isNumeric() && answer.numberValue() != 0;
        if (!expanded) {
            std::cerr << "KXVantor: " << CompressedFile
                      << " was not expanded: " << CStr(oExpander->get("LastError")) << "\n";
        }
        oExpander.reset();
        frame.line(40);
        RemoveFile(CompressedFile);
        return expanded;
    });
}

}  // namespace kx::launcher
