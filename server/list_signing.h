#pragma once
// Signed install lists. A catalog whose folder holds a signing key ("signing.key", the owner's
// only) signs the list of an install group whenever its rows change: the text of the group's
// rows (install_list_text.h) with the group, a sequence number and an expiry, signed in
// minisign's format and written as "files/INSTALL_<group>.minisig", where the group's install
// files are fetched from (any web server that serves the files folder serves the signatures too).
//
// The sequence of a group grows with every signature: the next is the previous one plus one, or
// the signing time in seconds when that is higher, so that a catalog made anew or restored from a
// backup goes on above what launchers have seen. A list expires after the catalog's signature
// days (30 unless resignLists set others). A catalog without a key signs nothing.
//
// The public key is also kept beside the secret one, as a minisign key file ("signing.pub"). A
// key to rotate to waits as "signing.next.key" until rotateSigningKey makes it the signing key.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "server/catalog.h"

namespace kx::server {

// The signature file of a group's list in a server folder.
std::filesystem::path listSignatureFile(const std::filesystem::path& serverDir, std::int64_t group);

// Signs the lists of `groups` when the catalog has a signing key; must run inside the transaction
// that changed them, so that the rows and their signature change together. Throws
// std::runtime_error when the key cannot be read or a signature cannot be written.
void signGroupLists(Catalog& catalog, const std::set<std::int64_t>& groups);

// The public key line of the catalog's signing key, made (and every group's list signed) when
// the catalog has none yet.
std::string ensureSigningKey(Catalog& catalog);
// The public key line of the key to rotate to, made when there is none yet.
std::string ensureNextSigningKey(Catalog& catalog);
// Makes the key to rotate to the signing key (the old secret key is deleted) and signs every
// group's list with it; returns its public key line. Throws std::invalid_argument when there is
// no key to rotate to.
std::string rotateSigningKey(Catalog& catalog);

// Signs every group's list again, valid for `days` from now (which later signatures keep to);
// returns the number of lists signed, or -1 when the catalog has no signing key.
int resignLists(Catalog& catalog, std::int64_t days);

inline constexpr std::int64_t kDefaultSignatureDays = 30;
inline constexpr std::int64_t kMaxSignatureDays = 3650;

}  // namespace kx::server
