// The debug log's switch and what an errors-ignored statement leaves in it.

#include "platform/runtime/debug_log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "platform/runtime/run_time_error.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace kx {
namespace {

TEST(DebugLog, SwitchIsOffUnlessOneOrAnAbsolutePathWhereIgnoredErrorsAreTraced) {
    using Kind = DebugLogTarget::Kind;
    for (const char* off : {static_cast<const char*>(nullptr), "", "0", "yes", "log.txt"}) {
        EXPECT_EQ(debugLogTargetFor(off).kind, Kind::Off) << (off ? off : "unset");
    }
    EXPECT_EQ(debugLogTargetFor("1").kind, Kind::StandardError);
    const DebugLogTarget file = debugLogTargetFor("/var/tmp/kx.log");
    EXPECT_EQ(file.kind, Kind::File);
    EXPECT_EQ(file.path, "/var/tmp/kx.log");

    // An ignored error is traced in the switched file.
    const test::TempDir dir;
    const std::string path = (dir / "debug.log").string();
    const test::ChildResult child = test::runInChild([&] {
        ::setenv("KX_DEBUG_LOG", path.c_str(), 1);  // read once, in this fresh process
        resumeNext([] { raiseError(53, "Files", "File not found"); });
        debugLog("a best-effort step was skipped");
        test::emit(std::to_string(::getpid()));
    });
    ASSERT_EQ(child.exitCode, 0) << child.output;
    const std::string log = test::readFile(path);
    const std::string prefix = "KX debug [" + child.output + "] ";
    EXPECT_EQ(log, prefix + "error ignored: 53 (Files) File not found\n" + prefix +
                       "a best-effort step was skipped\n");
}

}  // namespace
}  // namespace kx
