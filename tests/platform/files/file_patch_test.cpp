// Patches made and applied between real files, and the offers of an install list's Patches cell:
// both come from the server, so everything outside their bounds is refused.

#include <gtest/gtest.h>

#include "platform/files/file_patch.h"
#include "platform/files/patch_offers.h"
#include "platform/files/sha256_file.h"
#include "tests/support/temp_dir.h"

namespace kx::files {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

TEST(PatchOffersTest, ACellReadsBackAndOneOutsideItsBoundsOffersNothing) {
    const std::string a(64, 'a');
    const std::string b(64, 'b');
    const std::vector<PatchOffer> offers = {{a, 12, b, "1/app.aaaa.bbbb.kxpatch"},
                                            {b, 1, a, "1/sub%20dir/app.kxpatch"}};
    EXPECT_EQ(parsePatchesCell(" " + patchesCellText(offers) + " "), offers);
    EXPECT_EQ(parsePatchesCell(""), std::vector<PatchOffer>());
    for (const std::string& cell :
         {a + ":12:" + b + ":../app", a + ":12:" + b + ":/etc/passwd", a + ":12:" + b + ":1/./x",
          a + ":12:" + b + ":1/x?y", a + ":012:" + b + ":1/x", a + ":0:" + b + ":1/x",
          a + ":1099511627777:" + b + ":1/x", a + ":12:" + b, a.substr(1) + "A:12:" + b + ":1/x",
          std::string(4097, ' ')}) {
        EXPECT_FALSE(parsePatchesCell(cell)) << cell;
    }
    EXPECT_FALSE(parsePatchesCell(patchesCellText(std::vector<PatchOffer>(9, offers[0]))))
        << "more offers than a row may make";
}

TEST(FilePatchTest, APatchRebuildsTheNewFileOnlyFromItsOwnSourceAndWithinItsBounds) {
    const test::TempDir dir;
    std::string older(200000, '\0');
    for (std::size_t i = 0; i < older.size(); ++i) {
        older[i] = static_cast<char>(i * 2654435761U >> 13);
    }
    std::string newer = older;
    newer.insert(100000, "a changed function");
    writeFile(dir / "old", older);
    writeFile(dir / "new", newer);
    PatchBytes patch;
    ASSERT_EQ(makePatch((dir / "old").string(), (dir / "new").string(), 19, patch), "");
    EXPECT_LT(patch.size, 1000U);
    const std::string bytes(patch.data.get(), patch.size);
    writeFile(dir / "patch", bytes);
    const auto apply = [&](const std::string& from, std::uint64_t most = 1 << 20) {
        return applyPatch((dir / from).string(), (dir / "patch").string(),
                          (dir / "result").string(), most);
    };

    const AppliedPatch applied = apply("old");
    EXPECT_EQ(applied.failure, "");
    EXPECT_EQ(applied.size, newer.size());
    EXPECT_EQ(applied.sha256, sha256FileHex((dir / "new").string()));
    EXPECT_EQ(readFile(dir / "result"), newer);

    // Each refused, leaving no result behind.
    writeFile(dir / "other", older.substr(1) + "x");
    EXPECT_NE(apply("other").failure, "") << "another source fails the frame's checksum";
    EXPECT_NE(apply("old", newer.size() - 1).failure, "") << "a result above the bound";
    writeFile(dir / "patch", bytes.substr(0, bytes.size() - 1));
    EXPECT_NE(apply("old").failure, "") << "a cut patch";
    writeFile(dir / "patch", bytes + bytes);
    EXPECT_NE(apply("old").failure, "") << "two frames";
    writeFile(dir / "patch", "");
    EXPECT_NE(apply("old").failure, "") << "an empty patch";
    EXPECT_FALSE(fs::exists(dir / "result"));
}

}  // namespace
}  // namespace kx::files
