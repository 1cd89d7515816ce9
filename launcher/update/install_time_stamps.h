#pragma once
// The install-group time stamps: one small file per install group in CommonDir, named after the
// group ("INSTALL_12.txt" for group 12). It holds the server's last-update stamp of the group from
// the last start that completed an install run, as one line ending in CR LF, so that a later start
// can skip the update check when the server reports no change since.
//
// Both procedures belong to the launcher window (module "frmLogin") and carry its trap; failures
// of the file itself are never reported (a missing or unreadable file reads as "", a file that
// cannot be written is not written).

#include <cstddef>
#include <string>

namespace kx::launcher {

inline constexpr const char* kInstallGroupPrefix = "INSTALL_";
// Only this much of a stamp file is read: a stamp is one short line, and anything longer is not
// a date, so the group counts as changed.
inline constexpr std::size_t kMaxStampFileBytes = 4096;

// The stamp file of an install group: CommonDir + "/" + group name + ".txt". A group name that is
// not a plain file name ("", ".", "..", or holding "/" or NUL) raises error 52 (bad file name),
// so that server data cannot point the file outside CommonDir.
std::string installTimeStampPath(const std::string& installGroupName);

// The local stamp of a group: the first line of its stamp file (ended by CR or LF) without
// leading and trailing spaces; "" when the file cannot be read.
std::string GetClientLastUpdate(const std::string& mInstallGrpName);

// Writes m_ServerLastUpdate into the stamp file of m_InstallGroupName, and
// m_CustomServerLastUpdate into that of m_CustomInstallGroupName, each only when the group name is
// not empty and the stamp is a date. Called by the install run at the end of the list.
void WriteInstallTimeStamp();

}  // namespace kx::launcher
