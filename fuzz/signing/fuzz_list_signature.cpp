// What the launcher takes from a server as the signature of an install list, and the public key
// lines of the registry: parsing never fails other than by refusing, and whatever is accepted
// reads back as it was written (one spelling of a trusted comment, of a key, of a row's cells).

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/signing/install_list_text.h"
#include "platform/signing/minisign.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kx::signing;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string why;
    if (const auto file = parseSignatureFile(text, why)) {
        if (const auto header = parseTrustedComment(file->trustedComment)) {
            if (trustedCommentOf(*header) != file->trustedComment) {
                std::abort();
            }
        }
        verifySignature(PublicKey{}, *file, text);
    } else if (why.empty()) {
        std::abort();
    }
    if (const auto key = parsePublicKey(text)) {
        if (parsePublicKey(publicKeyLine(*key))->key != key->key) {
            std::abort();
        }
    }
    if (const auto cells = cellsOfLine(text)) {
        if (cells->size() < kSignedColumns.size() || cells->size() > kSignedColumns.size() + 1) {
            std::abort();
        }
    }
    if (const auto group = groupOfSignatureName(text); group && listSignatureName(*group) != text) {
        std::abort();
    }
    return 0;
}
