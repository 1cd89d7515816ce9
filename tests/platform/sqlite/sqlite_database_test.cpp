// The SQLite connection under a lock held elsewhere: a failed step leaves no transaction open.

#include "platform/sqlite/sqlite_database.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kx::sqlite {
namespace {

using namespace std::chrono_literals;

TEST(SqliteTransactions, AFailedCommitIsRolledBackAndTheNextTransactionWorks) {
    kx::test::TempDir dir;
    const std::string file = (dir / "db.sqlite").string();
    Database writer(file, {.create = true, .busyTimeout = 100ms});
    writer.exec("CREATE TABLE t(x); INSERT INTO t VALUES(0)");
    {
        // A reader in the middle of its rows keeps the writer from committing, however often the
        // commit is tried.
        Database reader(file, {});
        reader.exec("BEGIN");
        auto rows = reader.prepare("SELECT x FROM t");
        ASSERT_TRUE(rows.step());
        EXPECT_THROW(inTransaction(
                         writer, [&] { writer.exec("INSERT INTO t VALUES(1)"); }, 3),
                     Busy);
    }
    inTransaction(writer, [&] { writer.exec("INSERT INTO t VALUES(2)"); });
    Database check(file, {.readOnly = true});
    auto count = check.prepare("SELECT COUNT(*) FROM t");
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.integer(0), 2);
}

}  // namespace
}  // namespace kx::sqlite
