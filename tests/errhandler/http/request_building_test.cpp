// The pure parts of the HTTP client: form encoding, URL reading, status patterns, the
// error table, the proxy choice and the request that is built before anything is sent.

#include <gtest/gtest.h>

#include "errhandler/http/http_request.h"
#include "errhandler/http/status_pattern.h"
#include "errhandler/http/transfer_url.h"
#include "errhandler/http/url_encode.h"
#include "errhandler/http/wininet_errors.h"
#include "platform/runtime/run_time_error.h"
#include "tests/support/raised_error.h"

namespace kx::errhandler {
namespace {

Collection itemsOf(std::initializer_list<const char*> texts) {
    Collection items;
    for (const char* text : texts) {
        items.Add(text);
    }
    return items;
}

TEST(UrlEncode, KeepsOnlyTheLetterRangeAndEqualsSignAndEscapesEveryOtherByte) {
    EXPECT_EQ(URLEncode("AZ[\\]^_`az="), "AZ[\\]^_`az=");
    EXPECT_EQ(URLEncode("&%+.\r\n@{~"), "%26%25%2B%2E%0D%0A%40%7B%7E");
    EXPECT_EQ(URLEncode(std::string("\0\xff", 2)), "%00%FF");
    // Each UTF-8 byte of a non-ASCII character on its own.
    EXPECT_EQ(URLEncode("\xC3\xA9t\xC3\xA9"), "%C3%A9t%C3%A9");
}

TEST(PostData, SplitsItemsAtTheFirstColonEncodesOnlyValuesAndRefusesItemsNotText) {
    EXPECT_EQ(buildPostData(itemsOf({"A:x y", "B:1"})), "A=x%20y&B=%31");
    EXPECT_EQ(buildPostData(itemsOf({"NoColon"})), "Unknown=NoColon");
    EXPECT_EQ(buildPostData(itemsOf({"Time:12:30", "Name Here:v", ":lone"})),
              "Time=%31%32%3A%33%30&Name Here=v&=lone");
    EXPECT_EQ(buildPostData(itemsOf({})), "");
    Collection notText;
    notText.Add(std::int32_t{5});
    EXPECT_EQ(test::errorNumberOf([&] { buildPostData(notText); }), vberr::kTypeMismatch);
}

// Every part of a parsed URL as "https|host|port|path", or "refused".
std::string partsOf(const std::string& text) {
    const auto url = parseTransferUrl(text);
    return url ? std::string(url->secure ? "https|" : "http|") + url->host + "|" +
                     std::to_string(url->port) + "|" + url->path
               : "refused";
}

TEST(TransferUrlParsing, LowerCasesSplitsHostFromPathAndHonoursPortsAndHttps) {
    const std::pair<const char*, const char*> cases[] = {
        {"HTTP://Host/Some/Path.ASP?Q=A B", "http|host|80|some/path.asp?q=a b"},
        {"www.example.com", "http|www.example.com|80|"},
        {"http://host:8080/x", "http|host|8080|x"},
        {"HTTPS://Secure.Example/report", "https|secure.example|443|report"},
        {"https://h:8443", "https|h|8443|"},
        {"http://[::1]:81/a", "http|[::1]|81|a"}};
    for (const auto& [url, parts] : cases) {
        EXPECT_EQ(partsOf(url), parts);
    }
}

TEST(TransferUrlParsing, RejectsUrlsThatCannotBeRequested) {
    for (const char* bad : {"", "http://", "http:///path", "host:0/", "host:65536", "host:8o",
                            "host:/x", "user@host/x", "ho st/x", "ftp://host/x", "[::1", "[::g]",
                            "[::1]x", "host\r\nX-Injected: 1/"}) {
        EXPECT_FALSE(parseTransferUrl(bad)) << bad;
    }
    EXPECT_FALSE(parseTransferUrl("h/" + std::string(kMaxUrlLength, 'a')));
}

TEST(TransferUrlParsing, RequestUrlEscapesWhatATargetCannotCarry) {
    TransferUrl url;
    url.host = "h";
    url.path = "a b#c\x01\xC3\xA9?x=%41&y=[1]";
    EXPECT_EQ(requestUrlFor(url), "http://h:80/a%20b%23c%01%C3%A9?x=%41&y=%5B1%5D");
    url.secure = true;
    url.port = 443;
    url.path.clear();
    EXPECT_EQ(requestUrlFor(url), "https://h:443/");
}

TEST(StatusPattern, MatchesWildcardsDigitsAndLiterals) {
    EXPECT_FALSE(matchesStatusPattern("-1", "2*"));
    EXPECT_TRUE(matchesStatusPattern("404", "#0?"));
    EXPECT_FALSE(matchesStatusPattern("4x4", "4#4"));
    EXPECT_TRUE(matchesStatusPattern("200", "*0"));
    EXPECT_TRUE(matchesStatusPattern("2*0", "2*0"));
    EXPECT_FALSE(matchesStatusPattern("2000", "2??"));
    // An empty pattern never accepts a status; many stars against long text stay cheap.
    EXPECT_FALSE(matchesStatusPattern("200", ""));
    EXPECT_TRUE(matchesStatusPattern("", ""));
    EXPECT_FALSE(matchesStatusPattern(std::string(20000, 'a'), std::string(200, '*') + "b"));
}

TEST(TranslateErrorCode, GivesTheTableTextWithTrailingSpacesOrTheDefault) {
    EXPECT_EQ(TranslateErrorCode(12011), "The request option can not be set, only queried. ");
    EXPECT_EQ(TranslateErrorCode(12036), "The request failed because the handle already exists.");
    for (const std::int32_t missing : {0, -1, 12000, 12032, 12035, 12037, 12157}) {
        EXPECT_EQ(TranslateErrorCode(missing), "Error details not available.") << missing;
    }
}

TEST(ProxyChoice, FollowsTheThreeModesAndRefusesUnusableNamedProxies) {
    EXPECT_EQ(proxySettingFor(false, true, "p", 8080)->mode, ProxyMode::Preconfigured);
    EXPECT_EQ(proxySettingFor(true, false, "", 0)->mode, ProxyMode::Direct);
    const auto port80 = proxySettingFor(true, true, "Proxy.Local", 80);
    ASSERT_TRUE(port80);
    EXPECT_EQ(port80->mode, ProxyMode::Named);
    EXPECT_EQ(port80->server, "proxy.local");
    EXPECT_EQ(proxySettingFor(true, true, "proxy", 8080)->server, "proxy:8080");
    // Unusable named proxies.
    EXPECT_FALSE(proxySettingFor(true, true, "", 8080));
    EXPECT_FALSE(proxySettingFor(true, true, "proxy", 0));
    EXPECT_FALSE(proxySettingFor(true, true, "proxy", 70000));
    EXPECT_FALSE(proxySettingFor(true, true, "http://proxy", 8080));
    EXPECT_FALSE(proxySettingFor(true, true, "proxy:3128", 8080));
    EXPECT_FALSE(proxySettingFor(true, true, "bad host", 8080));
}

}  // namespace
}  // namespace kx::errhandler
