#include "launcher/update/install_routines.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "launcher/crash/trap.h"
#include "launcher/startup/directories.h"
#include "launcher/startup/launcher_state.h"
#include "launcher/startup/system_utilities.h"
#include "platform/com/create_object.h"
#include "platform/files/file_placement.h"
#include "platform/runtime/run_time_error.h"
#include "platform/runtime/vb_convert.h"
#include "platform/runtime/vb_strings.h"
#include "platform/shell/shell_execute.h"
#include "platform/text/path_text.h"

namespace kx::launcher {

using crash::Frame;
using crash::trapped;

namespace {

constexpr const char* kRegsvr32 = "regsvr32";

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string pendingRegistrationPath(const std::string& component) {
    return joinPath(folderOf(component), "." + std::string(fileNameOf(component)) + ".kxregister");
}

// Whether a placement succeeded; a failure is written to the log.
bool succeeded(const files::PlacementFailure& failure) {
    if (!failure.empty()) {
        std::cerr << "KXVantor: " << failure << "\n";
    }
    return failure.empty();
}

// Marks the component's registration as pending before the component is replaced, so that a
// launcher ending before regsvr32 succeeded leaves the record behind.
void markRegistrationPending(const std::string& component) {
    succeeded(files::placeContent("", pendingRegistrationPath(component)));
}

// Puts `source` in place at `target`; a failure sets NeedRestart.
bool place(const std::string& source, const std::string& target) {
    if (!succeeded(files::placeFileCopy(source, target))) {
        Module1().NeedRestart = true;
        return false;
    }
    RemoveFile(source);
    return true;
}

bool placeSideFile(const std::string& FileVersion, const std::string& sideFile) {
    if (!succeeded(files::placeContent(FileVersion + "\r\n", sideFile))) {
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
    bool installed = true;
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
                if (HowToDoIt == 1) {
                    markRegistrationPending(WhereToPutIt);
                }
                installed = place(FileName, WhereToPutIt);
                if (installed && HowToDoIt == 1) {
                    frame.line(30);
                    installed = RegisterFile(WhereToPutIt, environment);
                } else if (installed && HowToDoIt == 5) {
                    frame.line(40);
                    WhereToPutIt += ".ver";
                    installed = placeSideFile(FileVersion, WhereToPutIt);
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
        return installed;
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

bool RegisterFile(const std::string& FileName, const LauncherEnvironment& environment) {
    std::string program;
    std::int32_t exitCode = -1;
    Frame frame("Module1", "RegisterFile");
    frame.local("program", program).local("exitCode", exitCode).param("FileName", FileName);
    return trapped(frame, [&] {
        frame.line(10);
        program = joinPath(Module1().CommonDir, kRegsvr32);
        if (!isRegularFile(program)) {
            program = joinPath(environment.folders.programFolder(), kRegsvr32);
        }
        frame.line(20);
        exitCode = ExecCmd(program + " /s \"" + FileName + "\"", environment.spawn);
        if (exitCode != 0) {
            std::cerr << "KXVantor: " << FileName << " was not registered: " << program
                      << " ended with " << exitCode << "\n";
            return false;
        }
        RemoveFile(pendingRegistrationPath(FileName));
        return true;
    });
}

bool isRegistrationPending(const std::string& FileName) {
    struct stat info {};
    return ::lstat(pendingRegistrationPath(FileName).c_str(), &info) == 0;
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
        RemoveFile(joinPath(m.TempDir, m.FileNameToWrite));
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
