#pragma once
// The check of a signed install list, made by StartUpInit once the list is loaded and before any
// file of it is downloaded.
//
// The machine trusts the public keys (minisign key lines) held as the string values of
// HKLM\SOFTWARE\Kestrix\KXVantor\TrustedUpdateKeys, whatever their names. Without any value there
// nothing is checked. With values, the list is accepted only when, for each install group of the
// deployment (InstallGroupID, CustomInstallGroupID; 0 or empty is none), the signature file
// m_DownloadLocation + "INSTALL_<group>.minisig":
//   - is signed by a trusted key, over the text of the group's rows of the list
//     (install_list_text.h; with two groups the list's InstallGroupID column says whose a row is,
//     and a row of neither group fails the list);
//   - names this group in its trusted comment, has not expired (an hour of clock difference is
//     allowed) and carries a sequence not lower than the highest this machine accepted for the
//     group (verified_lists.h);
// and every row but the start rows has a SHA-256, which its download must then match.
//
// An accepted list is remembered (sequence and start rows) and the run goes on as usual. A list
// that fails installs nothing: the user is told that the updates could not be verified and whom
// to contact, the debug log says why, and the run walks only the start rows of the lists this
// machine last accepted for the deployment's groups, so the installed application still starts
// (none: nothing starts); no install-group stamps are written.

#include <string>

#include "launcher/startup/launcher_environment.h"
#include "platform/runtime/variant.h"

namespace kx::launcher {

// Checks rsInstallList; the group ids are the deployment's fields as they stand. Returns why the
// list was refused, or "" when it was accepted or nothing was checked.
std::string checkInstallListSignatures(const LauncherEnvironment& environment,
                                       const Variant& installGroupId, const Variant& customGroupId);

}  // namespace kx::launcher
