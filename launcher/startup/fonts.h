#pragma once
// The barcode fonts delivered beside the program, registered at every start for the launcher and
// for the applications it starts; and the fontconfig configuration that makes fonts installed in
// FontsDir visible.
//
// For this process each file is added to the current fontconfig configuration
// (FcConfigAppFontAddFile). For started programs a per-session configuration is written to
// <runtime folder>/kestrix-fonts/fonts.conf: it includes the configuration the launcher was given
// (FONTCONFIG_FILE, else the system's /etc/fonts/fonts.conf), adds a folder of symbolic links to
// the registered files (the files are not copied) and the machine's FontsDir, and FONTCONFIG_FILE
// is set to it so that every program the launcher starts inherits it. The runtime folder is
// $XDG_RUNTIME_DIR (emptied when the user's session ends, as fonts added on the old platform
// lasted until restart), else $TMPDIR or /tmp with a per-user folder "kestrix-fonts-<uid>" that
// must be ours and private.

#include <string>
#include <vector>

#include "launcher_font_files.h"  // kLauncherFontFiles, generated from launcher/fonts/font-files.txt

namespace kx::launcher {

// Registers each of kLauncherFontFiles found in `programFolder`, in order. A missing file or a
// failed registration is skipped silently. Returns the paths that were registered.
std::vector<std::string> registerLauncherFonts(const std::string& programFolder);

// The folder where fonts installed for the launched applications live: WindowsDir + "/Fonts" of
// the machine folders (KX_WINDOWS_DIR).
std::string machineFontsFolder();

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
