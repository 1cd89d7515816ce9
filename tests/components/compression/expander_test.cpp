// The component "KXCompression.Expander", registered with the real regsvr32 into a temporary
// registry and created by ProgID. Inputs come from the system's tools, and hostile archives that
// those tools refuse to make from libarchive's writer.

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/com/create_object.h"
#include "tests/support/child_process.h"
#include "tests/support/raised_error.h"
#include "tests/support/temp_dir.h"

namespace kx::compression {
namespace {

namespace fs = std::filesystem;
using kx::test::readFile;
using kx::test::writeFile;

constexpr std::int64_t kLimit = 1 << 20;

// One entry of an archive written with libarchive.
struct Member {
    std::string path;
    unsigned type = AE_IFREG;
    std::string content{};
    std::string symlink{};
    std::string hardlink{};
};

void writeArchive(const fs::path& file, bool zip, int filter, const std::vector<Member>& members) {
    archive* writer = archive_write_new();
    zip ? archive_write_set_format_zip(writer) : archive_write_set_format_pax_restricted(writer);
    archive_write_add_filter(writer, filter);
    ASSERT_EQ(archive_write_open_filename(writer, file.c_str()), ARCHIVE_OK);
    for (const Member& m : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, m.path.c_str());
        archive_entry_set_filetype(entry, m.type);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(m.content.size()));
        archive_entry_set_symlink(entry, m.symlink.empty() ? nullptr : m.symlink.c_str());
        archive_entry_set_hardlink(entry, m.hardlink.empty() ? nullptr : m.hardlink.c_str());
        EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << archive_error_string(writer);
        archive_write_data(writer, m.content.data(), m.content.size());
        archive_entry_free(entry);
    }
    EXPECT_EQ(archive_write_close(writer), ARCHIVE_OK);
    archive_write_free(writer);
}

// XORs the byte `fromEnd` bytes before the end of `file` with 0xFF.
void flipByte(const fs::path& file, std::size_t fromEnd) {
    std::string bytes = readFile(file);
    bytes[bytes.size() - fromEnd] = static_cast<char>(~bytes[bytes.size() - fromEnd]);
    writeFile(file, bytes);
}

class ExpanderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(test::runProcess(KX_REGSVR32, {"/s", KX_COMPRESSION_COMPONENT}, scratch_.path())
                      .exitCode,
                  0);
        expander_ = com::CreateObject("KXCompression.Expander");
        fs::create_directories(destination_);
        // Text that fills several buffers and still compresses.
        std::string payload;
        for (std::uint32_t i = 0; payload.size() < 300000; i = i * 1103515245u + 12345u) {
            payload += "line " + std::to_string(i % 100000) + "\n";
        }
        writeFile(work_ / "payload", payload);
    }

    // Runs `script` with sh in the work folder; the test fails when it fails.
    void sh(const std::string& script) {
        const auto result = test::runProcess("sh", {"-c", "cd " + work_.string() + " && " + script},
                                             scratch_.path());
        ASSERT_EQ(result.exitCode, 0) << script << ": " << result.err;
    }

    // Expands `input` into `destination`, the two properties set as text.
    bool expand(const fs::path& input, const fs::path& destination, std::int64_t limit = kLimit) {
        expander_->put("InputFile", input.string());
        expander_->put("DestinationFolder", destination.string());
        expander_->put("MaxExpandedBytes", limit);
        return expander_->call("Expand").asBool();
    }

    // Moves the input made in the work folder beside an old "payload" in the destination, as the
    // download leaves it, and expands it there.
    bool expandMadeInput(std::int64_t limit) {
        writeFile(destination_ / "payload", "old");
        fs::rename(work_ / "payload.cmp", destination_ / "payload.cmp");
        return expand(destination_ / "payload.cmp", destination_, limit);
    }

    std::string lastError() { return expander_->get("LastError").asString(); }

    std::vector<std::string> destinationNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(destination_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::ScopedRegistry registry_;
    test::TempDir scratch_;
    const fs::path work_ = scratch_ / "work";
    const fs::path destination_ = scratch_ / "dest";
    std::shared_ptr<Dispatch> expander_;
};

const std::vector<std::string> kInputAndOutput{"payload", "payload.cmp"};

TEST_F(ExpanderTest, ExpandsEachAcceptedFormatUnderTheInputsBareName) {
    struct Case {
        const char* format;
        const char* script;  // makes payload.cmp
        const char* expected;
    };
    const Case cases[] = {
        {"gzip", "gzip -c payload > payload.cmp", "payload"},
        {"gzip, two members",
         "head -c 1000 payload | gzip > payload.cmp && tail -c +1001 payload | gzip >> payload.cmp",
         "payload"},
        {"xz", "xz -c payload > payload.cmp", "payload"},
        {"zstd", "zstd -q -c payload > payload.cmp", "payload"},
        {"zip", "zip -q payload.cmp payload", "payload"},
        {"tar, member in a folder", "mkdir -p in && cp payload in/x && tar -cf payload.cmp in/x",
         "payload"},
        {"tar in gzip", "tar -czf payload.cmp payload", "payload"},
        {"gzip of a zip stays a zip", "zip -q i.zip payload && gzip -c i.zip > payload.cmp",
         "i.zip"},
        {"xz of a gzip stays a gzip", "gzip -c payload > i.gz && xz -c i.gz > payload.cmp", "i.gz"},
        {"empty gzip", ": > empty && gzip -c empty > payload.cmp", "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        sh(std::string("rm -f i.zip && ") + c.script);
        const std::string expected = readFile(work_ / c.expected);
        // The limit is the output's exact size: an output as large as the limit is accepted.
        EXPECT_TRUE(expandMadeInput(static_cast<std::int64_t>(expected.size())));
        EXPECT_EQ(lastError(), "");
        EXPECT_TRUE(readFile(destination_ / "payload") == expected);
        EXPECT_EQ(destinationNames(), kInputAndOutput);
    }
}

TEST_F(ExpanderTest, RefusesHarmfulInputsAndLeavesTheDestinationAsItWas) {
    const std::string overLimit(kLimit + 1, 'z');
    const fs::path input = work_ / "payload.cmp";
    const auto archive = [&](bool zip, int filter, std::vector<Member> members) {
        return [=] { writeArchive(input, zip, filter, members); };
    };
    const auto script = [&](std::string text, std::size_t flipFromEnd = 0) {
        return [=, this] {
            sh(text);
            if (flipFromEnd != 0) {
                flipByte(input, flipFromEnd);
            }
        };
    };
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* reason;
    };
    const Case cases[] = {
        {"member path with ..", archive(false, ARCHIVE_FILTER_NONE, {{.path = "../payload"}}),
         "member \"../payload\" would leave the destination folder"},
        {"absolute member path", archive(false, ARCHIVE_FILTER_GZIP, {{.path = "/etc/payload"}}),
         "would leave the destination folder"},
        {"two members",
         archive(false, ARCHIVE_FILTER_XZ, {{.path = "payload"}, {.path = "second"}}),
         "the archive holds more than one entry"},
        {"symbolic link",
         archive(false, ARCHIVE_FILTER_NONE,
                 {{.path = "payload", .type = AE_IFLNK, .symlink = "/etc/passwd"}}),
         "member \"payload\" is a symbolic link, not a regular file"},
        {"hard link", archive(false, ARCHIVE_FILTER_NONE, {{.path = "p", .hardlink = "/etc/x"}}),
         "is a hard link"},
        {"folder", archive(true, ARCHIVE_FILTER_NONE, {{.path = "payload/", .type = AE_IFDIR}}),
         "is a folder"},
        {"device", archive(false, ARCHIVE_FILTER_NONE, {{.path = "p", .type = AE_IFCHR}}),
         "is a device"},
        {"empty tar", archive(false, ARCHIVE_FILTER_NONE, {}), "the archive is empty"},
        {"gzip with a wrong CRC", script("gzip -c payload > payload.cmp", 8),
         "the gzip stream is damaged (incorrect data check)"},
        {"tar in gzip with a wrong CRC", script("tar -czf payload.cmp payload", 8),
         "the gzip stream is damaged (incorrect data check)"},
        {"gzip and more", script("gzip -c payload > payload.cmp && echo more >> payload.cmp"),
         "the gzip stream is damaged"},
        {"damaged zstd", script("zstd -q -c payload > payload.cmp", 40),
         "the zstd stream is damaged"},
        {"cut xz", script("xz -c payload | head -c 20000 > payload.cmp"),
         "the xz stream ends early"},
        {"gzip cut in its header", script("gzip -c payload | head -c 6 > payload.cmp"),
         "the gzip stream ends early"},
        {"cut tar", script("head -c 5000 payload > p && tar -cf - p | head -c 2048 > payload.cmp"),
         "the archive is damaged"},
        {"plain text", script("echo text > payload.cmp"), "it is not in a known format"},
        {"gzip over the limit", script("head -c 1048577 /dev/zero | gzip > payload.cmp"),
         "the expanded data is larger than the limit of 1048576 bytes"},
        {"tar in xz over the limit",
         archive(false, ARCHIVE_FILTER_XZ, {{.path = "payload", .content = overLimit}}),
         "larger than the limit of 1048576 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        EXPECT_FALSE(expandMadeInput(kLimit));
        EXPECT_NE(lastError().find(c.reason), std::string::npos) << lastError();
        EXPECT_EQ(readFile(destination_ / "payload"), "old");
        EXPECT_EQ(destinationNames(), kInputAndOutput);
    }
}

TEST_F(ExpanderTest, RefusesRequestsItCannotServeOrDestinationsItMayNotWriteToWithTheReason) {
    sh("gzip -c payload > payload.cmp && mkdir -p folder.cmp && mkfifo fifo.cmp");
    const fs::path good = work_ / "payload.cmp";
    struct Case {
        fs::path input;
        fs::path destination;
        std::string reason;
    };
    const Case cases[] = {
        {"", destination_, "Cannot expand: no input file was given"},
        {good, "", "no destination folder was given"},
        {work_ / "payload.gz", destination_, "its name does not end in \".cmp\""},
        {work_ / ".cmp", destination_, "leaves no file name"},
        {work_ / "gone.cmp", destination_, "cannot be opened (No such file or directory)"},
        {work_ / "folder.cmp", destination_, "it is not a regular file"},
        {work_ / "fifo.cmp", destination_, "it is not a regular file"},
        {good, scratch_ / "gone", "folder \"" + (scratch_ / "gone").string() + "\" does not exist"},
        {good, work_ / "payload", "is not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_FALSE(expand(c.input, c.destination));
        EXPECT_NE(lastError().find(c.reason), std::string::npos) << lastError();
    }
    EXPECT_TRUE(fs::exists(good));

    // A destination it may not write to.
    for (const fs::path& folder : {scratch_.path(), work_}) {
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    }
    ASSERT_EQ(chmod(destination_.c_str(), 0555), 0);
    const auto child = test::runInChild([&] {
        // Root may write anywhere: the expansion runs as "nobody".
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        test::emit(expand(work_ / "payload.cmp", destination_) ? "expanded" : lastError());
    });
    EXPECT_NE(child.output.find("cannot create a new version of " +
                                (destination_ / "payload").string() + ": Permission denied"),
              std::string::npos)
        << child.output;
    EXPECT_TRUE(fs::is_empty(destination_));
}

TEST_F(ExpanderTest, PropertiesAreTypedAndNamedWithoutRegardToLetterCase) {
    EXPECT_EQ(expander_->get("maxexpandedbytes").numberValue(), 4294967296.0);
    EXPECT_EQ(expander_->get("LASTERROR").asString(), "");
    expander_->put("inputfile", "a.cmp");
    EXPECT_EQ(expander_->get("InputFile").asString(), "a.cmp");
    struct Case {
        const char* member;
        Variant value;
        std::int32_t error;
    };
    const Case cases[] = {
        {"InputFile", std::int32_t{5}, vberr::kTypeMismatch},
        {"MaxExpandedBytes", "many", vberr::kTypeMismatch},
        {"MaxExpandedBytes", std::int32_t{-1}, vberr::kInvalidProcedureCall},
        {"LastError", "", vberr::kObjectDoesntSupportMember},
        {"Unknown", "", vberr::kObjectDoesntSupportMember},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(test::raisedError([&] { expander_->put(c.member, c.value); }).number(), c.error)
            << c.member;
    }
    EXPECT_EQ(expander_->get("InputFile").asString(), "a.cmp");
}

}  // namespace
}  // namespace kx::compression
