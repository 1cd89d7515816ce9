#include "launcher/crash/crash_record.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace kx::crash {
namespace {

// What a RecordWriter wrote, read back from a memory file.
template <typename Write>
std::string written(Write write) {
    const int fd = memfd_create("record", 0);
    write(fd);
    std::string text(1 << 16, '\0');
    text.resize(static_cast<std::size_t>(pread(fd, text.data(), text.size(), 0)));
    close(fd);
    return text;
}

const std::string kRecord = std::string(kCrashRecordHeading) +
                            "\nkind=signal\nsignal=11\ncode=1\naddress=0\nthread-id=42\n"
                            "thread=kx worker\nnumber=10005\ndescription=Access Violation\n"
                            "exception-code=C0000005\nversion=300.1100.3\ntime=0\n"
                            "frame=7F0000001000\nframe=7f0000002000\nmaps\n00400000-00401000 r-xp";

TEST(CrashRecord, WriterOutputIsReadBackWithTheMapsVerbatim) {
    const std::string text = written([](int fd) {
        RecordWriter out(fd);
        out.raw(kCrashRecordHeading.data(), kCrashRecordHeading.size()).raw("\n");
        out.field("kind", "exception").field("number", kUncaughtExceptionErrorNumber);
        out.field("thread", "a\nb\tc", 4).field("exception-type", "St13runtime_error");
        out.field("description", "disk full").raw("frame=").hex(0xABC, 1).raw("\nmaps\nx=y\n");
    });
    const auto record = parseCrashRecord(text);
    ASSERT_TRUE(record) << text;
    EXPECT_TRUE(record->uncaughtException);
    EXPECT_EQ(record->threadName, "a b ");
    EXPECT_EQ(record->frames, std::vector<std::uint64_t>{0xABC});
    EXPECT_EQ(record->maps, "x=y\n");
    EXPECT_EQ(crashDescription(*record), "Uncaught exception std::runtime_error: disk full");
}

TEST(CrashRecord, ContextNamesTheThreadSignalAndFrames) {
    const auto record = parseCrashRecord(kRecord);
    ASSERT_TRUE(record);
    EXPECT_EQ(crashDescription(*record), "Access Violation");
    EXPECT_EQ(crashContext(*record, {"#0 one", "#1 two"}),
              "<Crash>\r\n<Thread>kx worker</Thread>\r\n<ThreadId>42</ThreadId>\r\n"
              "<Signal>SIGSEGV</Signal>\r\n<SignalCode>1</SignalCode>\r\n"
              "<FaultAddress>0x0000000000000000</FaultAddress>\r\n"
              "<ExceptionCode>&HC0000005</ExceptionCode>\r\n"
              "<Time>1970-01-01 00:00:00 UTC</Time>\r\n<Backtrace>\r\n#0 one\r\n#1 two\r\n"
              "</Backtrace>\r\n</Crash>");
}

// The option that names a record can be typed by anyone: what is not a record is refused whole.
TEST(CrashRecord, TextThatIsNotARecordIsRefused) {
    const auto replaced = [](const std::string& from, const std::string& to) {
        std::string text = kRecord;
        return text.replace(text.find(from), from.size(), to);
    };
    std::string manyFrames = kRecord;
    for (std::size_t i = 0; i < kMaxCrashFrames; ++i) {
        manyFrames.insert(manyFrames.find("maps"), "frame=1\n");
    }
    for (const std::string& text :
         {std::string("garbage"), replaced("signal=11", "signal=99"),
          replaced("version=300.1100.3", "version=1;rm"), replaced("kind=signal", "kind=x"),
          replaced("number=10005", "number=99999999999"), replaced("code=1", "code"),
          replaced("frame=7F0000001000\nframe=7f0000002000\n", ""),
          replaced("exception-code=C0000005", "exception-code=C5"), manyFrames,
          std::string(kMaxCrashRecordBytes + 1, 'x')}) {
        EXPECT_FALSE(parseCrashRecord(text)) << text.substr(0, 300);
    }
}

}  // namespace
}  // namespace kx::crash
