// The component "KX_UTILITY_V2.WhiteLabel" created by ProgID and called by member name.

#include <gtest/gtest.h>

#include "components/whitelabel/mapping_file.h"
#include "platform/com/create_object.h"
#include "tests/components/whitelabel/white_label_fixture.h"

namespace kx::whitelabel {
namespace {

class WhiteLabelComponentTest : public kx::test::WhiteLabelTest {
  protected:
    // The items under `prefix`, and whether the component set the found-flag it was given.
    std::pair<std::vector<std::string>, bool> table(const std::string& prefix) {
        std::vector<Variant> args{false, prefix};
        const Variant items = component_->invoke("GetWhiteLabelMappings", InvokeKind::Method, args);
        std::vector<std::string> texts;
        for (const Variant& item : items.asObject().object->enumerate()) {
            texts.push_back(item.asString());
        }
        return {texts, args[0].asBool()};
    }

    void create() { component_ = com::CreateObject("KX_UTILITY_V2.WhiteLabel"); }
    std::shared_ptr<Dispatch> component_;
};

TEST_F(WhiteLabelComponentTest, LinesAreReadByPrefixUnreadableOnesSkippedAndOnlyWithinTheLimit) {
    writeMappings(
        "\xEF\xBB\xBF# Acme\r\nFTXT_Kestrix Error = Acme Error\r\n  FTXT_Kestrix\t=\tAcme \n"
        "\nFTXT_ = empty text\nFTXT_no equals sign\nftxt_Kestrix = lower case\n"
        "FTXT_a^b = c\nFICO_App = acme^2.png\nFTXT_bad \xC3\x28 = x\nFTXT_bell \x07 = x\n"
        // Not UTF-8: a stray continuation, an impossible byte, an overlong form, surrogates, a
        // code point past U+10FFFF, a sequence cut by the line end; then the edges that are.
        "FTXT_\x80 = x\nFTXT_\xFF = x\nFTXT_\xC0\xAF = x\nFTXT_\xED\xA0\x80 = x\n"
        "FTXT_\xED\xBF\xBF = x\nFTXT_\xF4\x90\x80\x80 = x\nFTXT_x = "
        "\xE2\x82\nFTXT_\xED\x9F\xBF\xEE\x80\x80 = "
        "\xF4\x8F\xBF\xBF\xC3\xA9\n"
        "FTXT_" +
        std::string(kMaxMappingLineLength, 'x') +
        " = long\n"
        "FICO_App = icons/acme.png\nEADR_help@kestrix.example = help@acme.example\n"
        "WURL_http://kestrix.example = https://acme.example/?a=b\nFTXT_Kestrix = Acme Corp");
    create();
    const std::pair<std::string, std::vector<std::string>> expected[] = {
        {"FTXT_",
         {"Kestrix Error^Acme Error", "Kestrix^Acme",
          "\xED\x9F\xBF\xEE\x80\x80^\xF4\x8F\xBF\xBF\xC3\xA9", "Kestrix^Acme Corp"}},
        {"FICO_", {"App^icons/acme.png"}},
        {"EADR_", {"help@kestrix.example^help@acme.example"}},
        {"WURL_", {"http://kestrix.example^https://acme.example/?a=b"}},
        {"XXXX_", {}}};
    for (const auto& [prefix, items] : expected) {
        EXPECT_EQ(table(prefix), std::make_pair(items, !items.empty())) << prefix;
    }

    // A missing file gives nothing, an oversized one only whole lines within the limit.
    std::filesystem::remove(mappingFile());
    create();
    EXPECT_EQ(table("FTXT_"), std::make_pair(std::vector<std::string>{}, false));
    // The second mapping starts three bytes before the limit.
    const std::string first = "FTXT_A = 1\n";
    writeMappings(first + std::string(kMaxMappingFileSize - first.size() - 4, '#') +
                  "\nFTXT_B = 2\n");
    create();
    EXPECT_EQ(table("FTXT_").first, std::vector<std::string>{"A^1"});
}

TEST_F(WhiteLabelComponentTest, RemapStringReplacesLongestTextFirstAndNeverTwice) {
    writeMappings(
        "FTXT_Kestrix Error = Acme Failure\nFTXT_Kestrix = Acme\nFTXT_Acme = Kestrix\n"
        "FTXT_Close = Exit\nFTXT_Close = Quit\n");
    create();
    const std::pair<std::string, std::string> cases[] = {
        {"Kestrix Error", "Acme Failure"},
        {"sent to the Kestrix support staff", "sent to the Acme support staff"},
        {"Kestrix Acme", "Acme Kestrix"},
        {"Close", "Quit"},
        {"kestrix", "kestrix"},
        {"", ""}};
    Variant mappings = component_->call("GetWhiteLabelMappings", {false, "FTXT_"});
    for (const auto& [text, remapped] : cases) {
        EXPECT_EQ(component_->call("RemapString", {mappings, text}).asString(), remapped) << text;
    }
}

TEST_F(WhiteLabelComponentTest, RemapIconNeedsAnExistingPictureFile) {
    const std::string absolute = (mappingFile().parent_path() / "icons" / "acme.png").string();
    kx::test::writeFile(absolute, "picture");
    create();
    const std::pair<std::string, std::string> cases[] = {{"icons/acme.png", absolute},
                                                         {absolute, absolute},
                                                         {"icons/missing.png", "before"},
                                                         {"icons", "before"},
                                                         {"", "before"}};
    for (const auto& [key, path] : cases) {
        std::vector<Variant> args{key, "before"};
        const Variant found = component_->invoke("RemapIcon", InvokeKind::Method, args);
        EXPECT_EQ(found.asBool(), path != "before") << key;
        EXPECT_EQ(args[1].asString(), path) << key;
    }
}

}  // namespace
}  // namespace kx::whitelabel
