// A download file written across many write-back steps, each followed by a flush of its own
// thread, and continued by a later writer, holds every byte in order once closed.

#include <gtest/gtest.h>

#include "platform/files/streaming_file.h"
#include "tests/support/temp_dir.h"

namespace kx::files {
namespace {

TEST(StreamingFileTest, ALargeFileContinuedByASecondWriterArrivesWholeAndInOrder) {
    const test::TempDir dir;
    const std::string path = (dir.path() / "big.kxpart").string();
    std::string piece(128 * 1024, '\0');
    std::string expected;
    for (int writer = 0; writer < 2; ++writer) {
        StreamingFile file(
            path, writer == 0 ? StreamingFile::Start::Empty : StreamingFile::Start::Continue);
        ASSERT_TRUE(file.valid());
        // 20 MB per writer: several steps, so flushes start while the file grows.
        for (int i = 0; i < 160; ++i) {
            piece.assign(piece.size(), static_cast<char>('a' + (writer * 160 + i) % 26));
            ASSERT_TRUE(file.write(piece.data(), piece.size()));
            expected += piece;
        }
        EXPECT_TRUE(file.close());
    }
    EXPECT_TRUE(test::readFile(path) == expected) << "the file's bytes differ from those written";
}

}  // namespace
}  // namespace kx::files
