// Signatures in minisign's format (minisign's own are read here; kxserver's tests have minisign
// read ours), damaged signature files, and the text of an install list that they cover.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "child_process.h"
#include "install_list_text.h"
#include "minisign.h"
#include "temp_dir.h"

namespace kx::signing {
namespace {

namespace fs = std::filesystem;

std::string verifyOf(const PublicKey& key, const std::string& message, const std::string& file) {
    std::string why;
    const auto parsed = parseSignatureFile(file, why);
    return parsed ? verifySignature(key, *parsed, message) : why;
}

TEST(Minisign, ReadsMinisignsKeysAndSignaturesOfBothKinds) {
    if (!fs::exists("/usr/bin/minisign")) {
        GTEST_SKIP() << "minisign is not installed (scripts/install-deps.sh installs it)";
    }
    const test::TempDir dir;
    test::writeFile(dir / "list.txt", "the signed text\n");
    const std::string key = dir / "m.key";
    const std::string list = dir / "list.txt";
    ASSERT_EQ(test::runProcess("minisign", {"-G", "-W", "-p", dir / "m.pub", "-s", key}, dir.path())
                  .exitCode,
              0);
    const auto theirs = parsePublicKey(test::readFile(dir / "m.pub"));
    ASSERT_TRUE(theirs);
    for (const bool legacy : {false, true}) {
        std::vector<std::string> sign = {"-S", "-s", key, "-m", list};
        if (legacy) {
            sign.push_back("-l");
        }
        ASSERT_EQ(test::runProcess("minisign", sign, dir.path()).exitCode, 0);
        const std::string file = test::readFile(dir / "list.txt.minisig");
        EXPECT_EQ(verifyOf(*theirs, "the signed text\n", file), "") << legacy;
        EXPECT_NE(verifyOf(*theirs, "the signed text.\n", file), "") << legacy;
    }
}

TEST(Minisign, DamagedFilesAndOtherKeysAreRefused) {
    const auto key = SecretKey::generate();
    const auto restored = SecretKey::parse(key.fileText());
    ASSERT_TRUE(restored);
    const std::string good = restored->sign("text", "comment");
    EXPECT_EQ(verifyOf(key.publicKey(), "text", good), "");
    const auto edited = [&](std::size_t at, std::string_view by) {
        return std::string(good).replace(at, by.size(), by);
    };
    const std::size_t signatureLine = good.find('\n') + 1;
    const std::size_t comment = good.find("comment\n", signatureLine);
    const struct {
        std::string file, why;
    } cases[] = {
        {edited(comment, "COMMENT"), "trusted comment does not match"},
        {SecretKey::generate().sign("text", "comment"), "does not match"},
        {good.substr(0, comment), "not a signature file"},
        {edited(signatureLine + 1, "C"), "algorithm"},  // "RU" (ED) becomes "RC"
        {edited(signatureLine, "!"), "not the base64"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(verifyOf(key.publicKey(), "text", c.file).find(c.why), std::string::npos)
            << c.why;
    }
    EXPECT_EQ(parsePublicKey(publicKeyFile(key.publicKey()))->key, key.publicKey().key);
    for (const char* notAKey : {"", "RWQ=", "untrusted comment: x\nRWQ=\nRWQ="}) {
        EXPECT_FALSE(parsePublicKey(notAKey)) << notAKey;
    }
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
    EXPECT_TRUE(installListText(header, {"row"})
                    .starts_with("kxvantor-install-list\ngroup 12\nsequence 1700000000\nexpires "
                                 "2026-01-01T00:00:00Z\n"
                                 "columns FileName SequenceID "));
    const std::string comment = trustedCommentOf(header);
    EXPECT_EQ(comment,
              "kxvantor-install-list group:12 sequence:1700000000 expires:2026-01-01T00:00:00Z");
    EXPECT_EQ(parseTrustedComment(comment), header);
    for (const char* other :
         {"kxvantor-install-list group:012 sequence:1700000000 expires:2026-01-01T00:00:00Z",
          "kxvantor-install-list group:12 sequence:0 expires:2026-01-01T00:00:00Z",
          "kxvantor-install-list group:12 sequence:1700000000 expires:2026-01-01T00:00:00",
          "kxvantor-install-list group:12  sequence:1700000000 expires:2026-01-01T00:00:00Z"}) {
        EXPECT_FALSE(parseTrustedComment(other)) << other;
    }
    EXPECT_EQ(groupOfSignatureName(listSignatureName(12)), 12);
    EXPECT_FALSE(groupOfSignatureName("INSTALL_012.minisig"));
}

}  // namespace
}  // namespace kx::signing
