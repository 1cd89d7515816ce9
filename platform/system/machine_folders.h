#pragma once
// The machine folders that stand for the old platform's Windows folders. Each one can be moved by
// an environment variable (set and not empty), so that tests and unusual installations never touch
// the defaults. Paths come without a trailing "/".
//
//   systemDirectory()       KX_SYSTEM_DIR        /var/lib/kestrix/system
//                           where the Windows system folder's shared components live
//   windowsDirectory()      KX_WINDOWS_DIR       /var/lib/kestrix/windows
//   commonFilesDirectory()  KX_COMMON_FILES_DIR  /var/lib/kestrix/common
//                           the "Common Files" folder; data-access components lie in its "System"
//   tokenDirectory()        KX_TOKEN_DIR         temporaryDirectory()
//                           the folder of "LastTickToken.tmp", the per-user temporary folder
//
// and the user's folders, which only the user's own variables move (each counts only as an
// absolute path; "~" is HOME when that is an absolute path, else the user's entry in the password
// database, and a folder under it is "" when there is no home folder either):
//
//   temporaryDirectory()    $TMPDIR, else /tmp
//   runtimeDirectory()      $XDG_RUNTIME_DIR, else "" (the session's private folder)
//   userDataDirectory()     $XDG_DATA_HOME, else ~/.local/share
//
// and files that are no folders:
//
//   caFile()                KX_CA_FILE           "" (the system's certificate store)
//                           the PEM file of the certificate authorities https is verified against
//   machineRegistryFile()   KX_MACHINE_REGISTRY  /var/lib/kestrix/registry/machine.db
//                           the registry's HKEY_LOCAL_MACHINE (and HKEY_CLASSES_ROOT)
//   userRegistryFile()      KX_USER_REGISTRY     $XDG_CONFIG_HOME/kestrix/registry.db
//                           the registry's HKEY_CURRENT_USER; XDG_CONFIG_HOME as the user's
//                           folders above, defaulting to ~/.config
//   reportSpoolDirectory()  -                    $XDG_STATE_HOME/Kestrix/ZNErrHandler/reports
//                           where error reports wait until they are delivered; XDG_STATE_HOME
//                           as XDG_CONFIG_HOME above, defaulting to ~/.local/state
//
// These are the only places the programs read HOME, TMPDIR and the XDG folders.

#include <string>

namespace kx::sys {

std::string systemDirectory();
std::string windowsDirectory();
std::string commonFilesDirectory();
std::string tokenDirectory();
std::string temporaryDirectory();
std::string runtimeDirectory();
std::string userDataDirectory();
std::string caFile();
std::string machineRegistryFile();
std::string userRegistryFile();
std::string reportSpoolDirectory();

// The value of the process's variable `name` when it is an absolute path, else "".
std::string absolutePathFromEnvironment(const char* name);

// File name of the token that other components of the product leave for the error reports.
inline constexpr const char* kLastTickTokenFileName = "LastTickToken.tmp";

}  // namespace kx::sys
