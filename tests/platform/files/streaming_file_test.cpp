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
    std::string expected;
    for (const auto start : {StreamingFile::Start::Empty, StreamingFile::Start::Continue}) {
        StreamingFile file(path, start);
        // 20 MB in 128 KiB pieces per writer: several steps, so flushes run while the file grows.
        for (int i = 0; i < 160; ++i) {
            const std::string piece(128 * 1024, static_cast<char>('a' + expected.size() / 77 % 26));
            ASSERT_TRUE(file.write(piece.data(), piece.size()));
            expected += piece;
        }
        EXPECT_TRUE(file.close());
    }
    EXPECT_TRUE(test::readFile(path) == expected) << "the file's bytes differ from those written";
}

}  // namespace
}  // namespace kx::files
