#pragma once
// The installation routines of Module1: putting a downloaded file into effect. Each carries the
// crash capture's trap.

#include <cstdint>
#include <string>

#include "launcher/startup/launcher_environment.h"

namespace kx::launcher {

// The ProgID of the compression component that expands ".cmp" downloads.
inline constexpr const char* kExpanderProgId = "KXCompression.Expander";
// Exit code with which an installer asks for a restart, and what remains of it in the 8 bits of a
// Linux exit status (a program that ends with exit(3010) is seen to end with 194).
inline constexpr std::int32_t kRestartRequired = 3010;
inline constexpr std::int32_t kRestartRequiredExitStatus = kRestartRequired & 0xFF;

// Installs the source file `FileName` by `HowToDoIt`:
//   1, 2, 5  puts it in place at WhereToPutIt (file_placement.h: the target is at every moment
//            its old or its new version); then 1 registers it (RegisterFile) and 5 records
//            `FileVersion` in the side file WhereToPutIt + ".ver" (placed the same way), leaving
//            WhereToPutIt naming the side file. The source is removed once placed. A placement
//            that fails sets NeedRestart, keeps the old target and the source, and returns false.
//            A component's registration counts as pending from before its placement until
//            regsvr32 succeeded (isRegistrationPending); a failed one returns false.
//   3        starts the file (made executable when it is a program) and does not wait.
//   4        runs it as an installer and waits: a path containing "MDAC_TYP.EXE" (letter case
//            ignored) gets ` /q:a /c:"dasetup.exe /q /n"`, "JET40SP3_COMP.EXE" nothing, "VBRUN60"
//            ` /Q`; exit code 3010 (194 as a Linux exit status) from one of these three sets
//            NeedRestart.
//   other    nothing.
// Returns true unless a placement or a registration failed. A type-3 file that cannot be started
// raises error 53. Programs are started with the environment's spawner.
bool InstallFile(const std::string& FileName, std::int16_t HowToDoIt, std::string& WhereToPutIt,
                 const std::string& FileVersion, const LauncherEnvironment& environment);

// Deletes the file; true when no file of that name remains (it was not there or is gone).
bool RemoveFile(const std::string& FileName);

// Registers a component: runs CommonDir + "/regsvr32 /s" with the quoted path, or, when the
// deployment has no regsvr32 in CommonDir, the regsvr32 installed beside the launcher program
// (the environment's program folder). True when it ended with exit code 0, which also clears the
// component's pending registration.
bool RegisterFile(const std::string& FileName, const LauncherEnvironment& environment);

// Whether the component at `FileName` was put in place without a registration that succeeded
// since (a failed regsvr32, or a launcher that ended in between): the record ".NAME.kxregister"
// beside it. The install run then installs the component again, whatever its version.
bool isRegistrationPending(const std::string& FileName);

// Expands the ".cmp" download `CompressedFile` into TempDir with the compression component
// (kExpanderProgId) and removes it; returns whether the expansion succeeded. Whatever was left
// under the expanded name by an earlier run is removed first, so that success always means a
// fresh file. A component that cannot be created raises error 429.
bool DeCompressFile(std::string CompressedFile);

}  // namespace kx::launcher
