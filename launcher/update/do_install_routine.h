#pragma once
// DoInstallRoutine (module "frmLogin"): puts the download of the current row into effect, called
// by the download's state event once the body arrived whole. A compressed download is expanded
// first (DeCompressFile); a failed expansion, or a file whose SHA-256 differs from the row's
// digest, is not installed: when the download continued bytes of an earlier attempt it is
// thrown away and downloaded once more in full (current_download.h), else it is reported with
// the download-error message and marks the file as failed. Otherwise InstallFile runs with the
// hourglass shown, and a font (m_IsFont) is recorded under "SOFTWARE\Microsoft\Windows
// NT\CurrentVersion\Fonts" as "Kestrix Font <name>", added to this process's fonts (the font
// file, also after a type-5 install, which leaves FileToWrite naming the side file) and the font
// cache refreshed.

#include <optional>
#include <string>

#include "launcher/update/install_window.h"

namespace kx::launcher {

inline constexpr const char* kFontsKeyNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr const char* kFontValuePrefix = "Kestrix Font ";

void DoInstallRoutine(InstallWindow& window);

// Before the current row is downloaded: when its target (FileToWrite) already holds the content of
// digest `digest` (`held` is the SHA-256 of what it holds, nullopt when it is no regular file) for
// a placing install type (1, 2, 5), installs it from itself instead: a second name in TempDir is
// installed as a download would be, so that what follows the placement (the side file, the
// registration, the font) is done without fetching the file again. That is the case after a run
// stopped between placing a file and recording its version, and when a row's version went up
// while its content stayed the same. False when the row is to be downloaded.
bool InstallFromTarget(InstallWindow& window, const std::string& digest,
                       const std::optional<std::string>& held);

}  // namespace kx::launcher
