#pragma once
// The barcode fonts delivered beside the program, registered at every start for the launcher and
// for the applications it starts; and the fontconfig configuration that makes fonts installed in
// FontsDir visible.
//
// For this process each file is added to the current fontconfig configuration
// (FcConfigAppFontAddFile). For started programs a configuration is written to fonts.conf in the
// per-session folder (created when missing; it must be ours and private): it includes the
// configuration the launcher was given (FONTCONFIG_FILE, else the system's
// /etc/fonts/fonts.conf), adds a folder of symbolic links to the registered files (the files are
// not copied) and the machine's FontsDir, and FONTCONFIG_FILE is set to it so that every program
// the launcher starts inherits it.

#include <string>
#include <vector>

#include "launcher/startup/launcher_font_files.h"  // kLauncherFontFiles, generated from launcher/fonts/font-files.txt

namespace kx::launcher {

// Where the launcher's fonts come from and where they are published for started programs.
struct FontPlaces {
    std::string programFolder;  // the fonts delivered beside the program
    std::string machineFonts;   // the machine's FontsDir (WindowsDir + "/Fonts")
    std::string sessionFolder;  // "" : nothing is published for started programs
};

// Registers each of kLauncherFontFiles found in the program folder, in order, and publishes them
// and the machine's fonts for started programs. A missing file or a failed registration is
// skipped (the debug log says so). Returns the paths that were registered.
std::vector<std::string> registerLauncherFonts(const FontPlaces& places);

// This user session's folder for the published configuration: $XDG_RUNTIME_DIR/kestrix-fonts
// (emptied when the session ends, as fonts added on the old platform lasted until restart), else
// the temporary folder's kestrix-fonts-<uid> (machine_folders.h says where both come from).
std::string sessionFontFolderOfThisProcess();

// AddFontResource: adds the font file to this process's fonts (fontconfig's application fonts);
// false when it is not a font file fontconfig can use.
bool AddFontResource(const std::string& path);

// The font-change broadcast: rescans `folder`'s font cache so that programs started from now on
// see the fonts installed there. Failures (no write access to the cache) are ignored.
void refreshFontCache(const std::string& folder);

// The text of a fontconfig configuration that includes `baseConfig` and adds `fontFolders`.
// Folder names are escaped for XML.
std::string fontconfigText(const std::string& baseConfig,
                           const std::vector<std::string>& fontFolders);

}  // namespace kx::launcher
