// Signatures in minisign's format (kxserver's tests have the minisign tool check them) refused
// when anything changed, and the text of an install list that they cover.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/signing/install_list_text.h"
#include "platform/signing/minisign.h"

namespace kx::signing {
namespace {

std::string verifyOf(const PublicKey& key, const std::string& message, const std::string& file) {
    std::string why;
    const auto parsed = parseSignatureFile(file, why);
    return parsed ? verifySignature(key, *parsed, message) : why;
}

TEST(Minisign, DamagedFilesAndOtherKeysAreRefused) {
    const auto key = SecretKey::generate();
    const std::string good = key.sign("text", "comment");
    EXPECT_EQ(verifyOf(key.publicKey(), "text", good), "");
    const auto edited = [&](std::size_t at, std::string_view by) {
        return std::string(good).replace(at, by.size(), by);
    };
    const std::size_t comment = good.find("comment\n", good.find('\n') + 1);
    const struct {
        std::string file, why;
    } cases[] = {
        {edited(comment, "COMMENT"), "trusted comment does not match"},
        {SecretKey::generate().sign("text", "comment"), "does not match"},
        {good.substr(0, comment), "not a signature file"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(verifyOf(key.publicKey(), "text", c.file).find(c.why), std::string::npos)
            << c.why;
    }
    EXPECT_EQ(parsePublicKey(publicKeyFile(key.publicKey()))->key, key.publicKey().key);
}

TEST(InstallListText, CellsCannotEndTheirLineAndTheHeaderHasOneSpelling) {
    rowset::RowsetData list;
    for (const std::string_view column : kSignedColumns) {
        list.fields.push_back({.name = std::string(column)});
    }
    rowset::Row row;
    row.values.assign(kSignedColumns.size(), Variant(std::string("x")));
    row.values[0] = Variant(std::string("a\tb\r\n100%"));
    row.values[1] = Variant(std::int32_t{9999});
    row.values[2] = Variant::null();
    const std::string line = SignedRowLines(list).line(row);
    EXPECT_EQ(line.substr(0, 26), "a%09b%0D%0A100%25\t9999\t\tx\t");
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 10);
    EXPECT_EQ(cellsOfLine(line)->at(0), "a\tb\r\n100%");
    EXPECT_FALSE(cellsOfLine("too\tfew"));

    const InstallListHeader header{12, 1700000000, 1767225600};
    const std::string comment = trustedCommentOf(header);
    EXPECT_EQ(comment,
              "kxvantor-install-list group:12 sequence:1700000000 expires:2026-01-01T00:00:00Z");
    EXPECT_EQ(parseTrustedComment(comment), header);
    EXPECT_FALSE(parseTrustedComment(comment + " "));
}

}  // namespace
}  // namespace kx::signing
