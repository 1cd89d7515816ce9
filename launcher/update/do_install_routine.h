#pragma once
// DoInstallRoutine (module "frmLogin"): puts the download of the current row into effect, called
// by the download's state event once the body arrived whole. A compressed download is expanded
// first (DeCompressFile); a failed expansion, or a file whose SHA-256 differs from the row's
// digest, is reported with the download-error message, marks the file as failed and is not
// installed. Otherwise InstallFile runs with the hourglass shown, and a font (m_IsFont) is
// recorded under "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts" as "Kestrix Font <name>",
// added to this process's fonts (the font file, also after a type-5 install, which leaves
// FileToWrite naming the side file) and the font cache refreshed.

#include "install_window.h"

namespace kx::launcher {

inline constexpr const char* kFontsKeyNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr const char* kFontValuePrefix = "Kestrix Font ";

void DoInstallRoutine(InstallWindow& window);

}  // namespace kx::launcher
