// The check of signed install lists on its own: one list of two install groups as kxserver sends
// it, signed here with throw-away keys and served on loopback, and every way it can fail.

#include "launcher/update/install_list_check.h"

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <mutex>

#include "launcher/startup/launcher_state.h"
#include "launcher/update/install_messages.h"
#include "launcher/update/verified_lists.h"
#include "platform/runtime/vb_convert.h"
#include "platform/signing/install_list_text.h"
#include "platform/signing/minisign.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/registry_value.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_dir.h"

namespace kx::launcher {
namespace {

using rowset::DataType;
using signing::SecretKey;

constexpr const char* kTrustedKeys = "SOFTWARE\\Kestrix\\KXVantor\\TrustedUpdateKeys";
constexpr std::int64_t kDay = 24 * 60 * 60;

std::int64_t now() {
    return std::time(nullptr);
}

// A file and a start row of each of the groups 1 and 2; `change` edits a cell first.
RecordsetPtr listOf(const std::function<void(rowset::Recordset&)>& change = {}) {
    auto list = std::make_shared<rowset::Recordset>();
    for (const std::string_view column : signing::kSignedColumns) {
        list->appendField(std::string(column), DataType::adVarWChar, 100);
    }
    list->appendField("InstallGroupID", DataType::adBigInt);
    list->Open();
    const std::string digest(64, 'a');
    for (const std::vector<std::string>& row : std::vector<std::vector<std::string>>{
             {"a.txt", "10", "2", "1.0", "", "", "A", "0", "1/a.txt", "KESTRIXDIR", digest, "1"},
             {"b.bin", "20", "5", "2.1", "V", "<SYSTEMDIR>/b", "B", "1", "2/b.gz", "COMMONDIR",
              digest, "2"},
             {"app", "9999", "0", "", "", "", "App", "0", "", "KESTRIXDIR", "", "1"},
             {"tool", "9999", "0", "", "", "", "Tool", "0", "", "COMMONDIR", "", "2"}}) {
        list->AddNew();
        for (std::size_t column = 0; column < row.size(); ++column) {
            list->Fields(column).setValue(Variant(row[column]));
        }
        list->Update();
    }
    if (change) {
        change(*list);
    }
    list->MoveFirst();
    return list;
}

// The list with one byte of a cell changed (an empty cell gets one).
RecordsetPtr withOneByteChanged(long row, std::string_view column) {
    return listOf([&](rowset::Recordset& l) {
        l.setAbsolutePosition(row);
        std::string text = CStr(l.Fields(column).Value());
        if (text.empty()) {
            text = "1";
        } else {
            text.back() = static_cast<char>(text.back() ^ 1);
        }
        l.Fields(column).setValue(Variant(text));
        l.Update();
    });
}

class InstallListCheckTest : public ::testing::Test {
  protected:
    InstallListCheckTest() {
        resetLauncherState();
        Module1().m_DownloadLocation = server_.url("/bo/main/BROKER/InstallFiles/");
        trust("Vendor", oldKey_);
    }

    static void trust(const std::string& name, const SecretKey& key) {
        test::writeRegistryValue(registry::Hive::LocalMachine, kTrustedKeys, name,
                                 signing::publicKeyLine(key.publicKey()));
    }
    // Serves the signatures of both groups' rows of `list`, group 1's naming `group1As`.
    void sign(const SecretKey& key, std::int64_t sequence, const RecordsetPtr& list = listOf(),
              std::int64_t expiresAt = now() + kDay, std::int64_t group1As = 1) {
        const signing::SignedRowLines columns(list->data());
        for (const std::int64_t group : {1, 2}) {
            std::vector<std::string> lines;
            for (const rowset::Row& row : list->data().rows) {
                if (CStr(row.values.back()) == std::to_string(group)) {
                    lines.push_back(columns.line(row));
                }
            }
            const signing::InstallListHeader header{group == 1 ? group1As : group, sequence,
                                                    expiresAt};
            const std::lock_guard lock(mutex_);
            signatures_[signing::listSignatureName(group)] =
                key.sign(signing::installListText(header, columns.columns(), lines),
                         signing::trustedCommentOf(header));
        }
    }
    // Checks `list` as a deployment of groups 1 and 2; the reason of a refusal.
    std::string check(const RecordsetPtr& list = listOf()) {
        Module1().rsInstallList = list;
        Module1().m_SkipUpdateCheck = false;
        return checkInstallListSignatures(environment_, Variant(std::int32_t{1}),
                                          Variant(std::string("2")));
    }

    test::ScopedRegistry registry_;
    test::ScriptedMessageBoxes boxes_;
    LauncherEnvironment environment_;
    const SecretKey oldKey_ = SecretKey::generate();
    const SecretKey newKey_ = SecretKey::generate();
    std::mutex mutex_;
    std::map<std::string, std::string> signatures_;
    test::LoopbackHttpServer server_{
        [this](const test::HttpRequest& request, test::HttpReply& reply) {
            const std::lock_guard lock(mutex_);
            const auto found = signatures_.find(request.path.substr(request.path.rfind('/') + 1));
            reply.answer(found == signatures_.end() ? 404 : 200,
                         found == signatures_.end() ? "" : found->second);
        }};
};

TEST_F(InstallListCheckTest, AFailingListInstallsNothingButTheStartRowsAcceptedBeforeAndSaysWhy) {
    sign(oldKey_, 100);
    const RecordsetPtr accepted = listOf();
    ASSERT_EQ(check(accepted), "");
    EXPECT_EQ(Module1().rsInstallList, accepted);
    struct Case {
        std::string name;
        std::function<RecordsetPtr()> arrange;  // signs, and gives the list to check
        std::string why;
    };
    std::vector<Case> cases = {
        {"unknown key", [&] { return sign(SecretKey::generate(), 200), listOf(); },
         "which this machine does not trust"},
        {"lower sequence", [&] { return sign(oldKey_, 99), listOf(); }, "older than the 100"},
        {"expired", [&] { return sign(oldKey_, 200, listOf(), now() - 7200), listOf(); },
         "expired at"},
        {"another group's list",
         [&] { return sign(oldKey_, 200, listOf(), now() + kDay, 2), listOf(); },
         "is the list of install group 2"},
        {"no signature", [&] { return signatures_.erase("INSTALL_2.minisig"), listOf(); },
         "status 404"},
        {"a row of no group",
         [&] { return listOf([](auto& l) { l.Fields("InstallGroupID").setValue(Variant(3)); }); },
         "belongs to none"},
        {"a file without SHA-256",
         [&] {
             const auto list =
                 listOf([](auto& l) { l.MoveFirst(), l.Fields("SHA256").setValue(""); });
             return sign(oldKey_, 200, list), list;
         },
         "has no SHA-256"},
    };
    for (long row = 1; row <= 4; ++row) {
        for (const std::string_view column : signing::kSignedColumns) {
            const auto changed = [=] { return withOneByteChanged(row, column); };
            cases.push_back(
                {std::to_string(row) + " " + std::string(column), changed, "not match"});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sign(oldKey_, 200);
        const std::string why = check(c.arrange());
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        rowset::Recordset& walked = *Module1().rsInstallList;
        ASSERT_EQ(walked.RecordCount(), 2);
        EXPECT_EQ(CStr(walked.Fields("FileName").Value()), "app");
        EXPECT_TRUE(Module1().m_SkipUpdateCheck);
        EXPECT_EQ(boxes_.shown().back().prompt, kUnverifiedUpdates);
    }
    EXPECT_EQ(boxes_.shown().size(), cases.size());
    EXPECT_EQ(rememberedList(1).sequence, 100);

    // A rotation: with both keys trusted, a list signed by the new one alone is taken.
    trust("Vendor next", newKey_);
    sign(newKey_, 101, listOf(), now() - 1800);  // expired, but within the hour allowed
    EXPECT_EQ(check(), "");
    EXPECT_EQ(rememberedList(2).sequence, 101);
}

}  // namespace
}  // namespace kx::launcher
