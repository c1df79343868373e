#include "websearch/site_table.h"
#include "websearch/web_search.h"

#include "base/cp950.h"
#include "codeconv/gbbig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace velm;

namespace {

constexpr const char *kBase = "http://forum.test/";

std::vector<SiteBox> boxesTicked(std::initializer_list<int> numbers)
{
    std::vector<SiteBox> boxes = TableSiteBoxes(kBase, false);
    for (SiteBox &box : boxes)
        box.ticked = std::find(numbers.begin(), numbers.end(), box.number) != numbers.end();
    return boxes;
}

std::string templateOf(int number)
{
    return SiteTemplate(*findWebSite(number), kBase);
}

} // namespace

TEST(WebSearch, WorkedExamplesWithAbc)
{
    struct Case {
        int site;
        std::string urlTextEnd;
        std::string addressEnd;
        int formNumber;
        std::string fieldName;
        std::string fieldValue;
    };
    const Case cases[] = {
        {1, "search.asp?MethodStr=DOIT&SearchStr=abc", "search.asp?MethodStr=DOIT&SearchStr=abc", -1, "", ""},
        {2, "/search.asp?MethodStr=DOIT&Search=#KEY,1,Search,abc", "/search.asp?MethodStr=DOIT&Search=abc", 1, "Search",
         "abc"},
        {14, "/search.asp?ftext=#KEY,2,,abc", "/search.asp?ftext=abc", 2, "", "abc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.site);
        const SearchLists lists = BuildSearchLists(boxesTicked({c.site}), TypedKeyword("abc"), true, false);
        ASSERT_EQ(lists.urlTexts.size(), 1u);
        const std::string &urlText = lists.urlTexts[0];
        EXPECT_TRUE(urlText.ends_with(c.urlTextEnd)) << urlText;
        const SearchUrl url = ParseSearchUrl(urlText);
        EXPECT_TRUE(url.address.ends_with(c.addressEnd)) << url.address;
        EXPECT_EQ(url.formNumber, c.formNumber);
        EXPECT_EQ(url.fieldName, c.fieldName);
        EXPECT_EQ(url.fieldValue, c.fieldValue);
    }
    EXPECT_EQ(ParseSearchUrl(BuildSearchLists(boxesTicked({1}), TypedKeyword("abc"), true, false).urlTexts[0]).address,
              std::string(kBase) + "search.asp?MethodStr=DOIT&SearchStr=abc");
}

TEST(WebSearch, KeywordFormPerSiteAndSwitches)
{
    // Typed text is Unicode: a traditional keyword, its simplified form, and one mixing both.
    const std::string big5 = toCp950("資料庫");
    const std::string gb = utf8ToGbk("资料库");
    ASSERT_EQ(big5.size(), 6u);
    ASSERT_EQ(gb.size(), 6u);
    struct Case {
        std::string typed;
        bool convertGB, convertBig;
        std::string gbSites, others;
        KeywordCodePage gbPage;
    };
    const std::string simplifiedAsTyped = toCp950("?料?");
    const Case cases[] = {
        {"資料庫", true, false, gb, big5, KeywordCodePage::GB},
        {"資料庫", false, false, big5, big5, KeywordCodePage::Big5},
        {"資料庫", true, true, gb, big5, KeywordCodePage::GB},
        {"資料庫", false, true, big5, big5, KeywordCodePage::Big5},
        // Simplified characters reach Big5 sites traditional only when convertBig asks for it; unconverted
        // they are what code page 950 makes of them.
        {"资料库", true, false, gb, simplifiedAsTyped, KeywordCodePage::GB},
        {"资料库", false, false, simplifiedAsTyped, simplifiedAsTyped, KeywordCodePage::Big5},
        {"资料库", true, true, gb, big5, KeywordCodePage::GB},
        {"资料庫", true, true, gb, big5, KeywordCodePage::GB},
        {"资料庫", false, true, toCp950("?料庫"), big5, KeywordCodePage::Big5},
    };
    std::vector<SiteBox> all = TableSiteBoxes(kBase, true);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed + " " + std::to_string(c.convertGB) + std::to_string(c.convertBig));
        const SearchLists lists = BuildSearchLists(all, TypedKeyword(c.typed), c.convertGB, c.convertBig);
        ASSERT_EQ(lists.urlTexts.size(), 20u);
        for (size_t i = 0; i < 20; ++i) {
            const int number = static_cast<int>(i) + 1;
            const bool gbSite = number == 3 || number == 6;
            EXPECT_EQ(isGBSite(lists.captions[i]), gbSite) << number;
            EXPECT_EQ(lists.urlTexts[i], templateOf(number) + (gbSite ? c.gbSites : c.others)) << number;
            EXPECT_EQ(lists.codePages[i], gbSite ? c.gbPage : KeywordCodePage::Big5) << number;
        }
    }
    // An ASCII keyword is the same in every form.
    const SearchLists ascii = BuildSearchLists(all, TypedKeyword("TQuery"), true, true);
    EXPECT_EQ(ascii.urlTexts[0], templateOf(1) + "TQuery");
    EXPECT_EQ(ascii.urlTexts[2], templateOf(3) + "TQuery");
}

TEST(WebSearch, TabOrderFollowsNumbersNotTicking)
{
    std::vector<SiteBox> boxes = boxesTicked({20, 1, 14});
    std::reverse(boxes.begin(), boxes.end());
    std::rotate(boxes.begin(), boxes.begin() + 7, boxes.end());
    const SearchLists lists = BuildSearchLists(boxes, TypedKeyword("x"), true, false);
    ASSERT_EQ(lists.captions.size(), 3u);
    EXPECT_EQ(lists.captions[0], SiteCaption(*findWebSite(1)));
    EXPECT_EQ(lists.captions[1], SiteCaption(*findWebSite(14)));
    EXPECT_EQ(lists.captions[2], SiteCaption(*findWebSite(20)));
    EXPECT_TRUE(BuildSearchLists(boxesTicked({}), TypedKeyword("x"), true, false).empty());
}

TEST(WebSearch, OnlyNumbersUpToAHundredAndTheFirstBoxOfANumberCount)
{
    const std::vector<SiteBox> boxes = {
        {101, "far", "http://far/?q=", true},         {-1, "negative", "http://neg/?q=", true},
        {0, "zero", "http://zero/?q=", true},         {100, "hundred", "http://hundred/?q=", true},
        {5, "first five", "http://five-a/?q=", true}, {5, "second five", "http://five-b/?q=", true},
    };
    const SearchLists lists = BuildSearchLists(boxes, TypedKeyword("k"), true, false);
    EXPECT_EQ(lists.captions, (std::vector<std::string>{"zero", "first five", "hundred"}));
}

TEST(WebSearch, CommasInTheKeywordSplitFieldsAndBlanksStay)
{
    const SearchUrl plain =
        ParseSearchUrl(BuildSearchLists(boxesTicked({1}), TypedKeyword("a,1"), true, false).urlTexts[0]);
    EXPECT_EQ(plain.address, templateOf(1) + "a");
    EXPECT_EQ(plain.formNumber, 1);

    const SearchUrl post =
        ParseSearchUrl(BuildSearchLists(boxesTicked({2}), TypedKeyword("x,y"), true, false).urlTexts[0]);
    EXPECT_EQ(post.fieldValue, "x");
    EXPECT_TRUE(post.address.ends_with("Search=x"));

    const SearchUrl blanks =
        ParseSearchUrl(BuildSearchLists(boxesTicked({2}), TypedKeyword(" a b "), true, false).urlTexts[0]);
    EXPECT_EQ(blanks.fieldValue, " a b ");
    EXPECT_TRUE(blanks.address.ends_with("Search= a b "));
    EXPECT_TRUE(RequestAddress(blanks.address).ends_with("Search=%20a%20b%20"));

    // An empty keyword removes #KEY and still names the form.
    const SearchUrl empty =
        ParseSearchUrl(BuildSearchLists(boxesTicked({14}), TypedKeyword(""), true, false).urlTexts[0]);
    EXPECT_TRUE(empty.address.ends_with("/search.asp?ftext="));
    EXPECT_EQ(empty.formNumber, 2);
    EXPECT_EQ(empty.fieldValue, "");
}

TEST(WebSearch, ParseSearchUrlFields)
{
    struct Case {
        std::string text, address;
        int formNumber;
        std::string name, value;
    };
    const Case cases[] = {
        {"", "", -1, "", ""},
        {"http://h/?q=", "http://h/?q=", -1, "", ""},
        {"a#KEY,0,n,v", "av", 0, "n", "v"},
        {"a#KEY#KEY,-3,n,v", "av#KEY", -3, "n", "v"},
        {"a#key,1,n,v", "a#key", 1, "n", "v"},
        {"a,1x,n,v", "a", -1, "n", "v"},
        {"a, 1,n,v", "a", -1, "n", "v"},
        {"a,+2", "a", 2, "", ""},
        {"a,99999999999,n", "a", -1, "n", ""},
        {"a#KEY,1,n,v,ignored,too", "av", 1, "n", "v"},
        {",,,", "", -1, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const SearchUrl url = ParseSearchUrl(c.text);
        EXPECT_EQ(url.address, c.address);
        EXPECT_EQ(url.formNumber, c.formNumber);
        EXPECT_EQ(url.fieldName, c.name);
        EXPECT_EQ(url.fieldValue, c.value);
    }
}

TEST(WebSearch, RequestAddressEncodesByteForByte)
{
    const std::string big5 = toCp950("中文");
    const std::string gb = Big5ToGB(big5);
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"http://h/p?a=1&b=c+d#f", "http://h/p?a=1&b=c+d#f"},
        {"http://h/?q=" + big5, "http://h/?q=%A4%A4%A4%E5"},
        {"http://h/?q=" + gb, "http://h/?q=%D6%D0%CE%C4"},
        {"http://h/?q=a b\t", "http://h/?q=a%20b%09"},
        {"http://h/?q=\"<x>\\^`{|}", "http://h/?q=%22%3Cx%3E%5C%5E%60%7B%7C%7D"},
        {"http://h/?q=100%", "http://h/?q=100%25"},
        {"http://h/?q=%4", "http://h/?q=%254"},
        {"http://h/?q=%41%zz", "http://h/?q=%41%25zz"},
        {std::string("x\x7F", 2), "x%7F"},
        {"http://h/?q=" + toCp950("設"), "http://h/?q=%B3%5D"},
        {"http://[::1]:8/p[1]?q=[x]", "http://[::1]:8/p%5B1%5D?q=%5Bx%5D"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RequestAddress(c.in), c.out) << c.in;
}

TEST(SiteTable, TwentySitesInFiveGroupsWithTheirKinds)
{
    std::set<int> numbers;
    std::set<int> gbSites, postSites;
    for (const WebSite &site : WebSiteTable()) {
        SCOPED_TRACE(site.number);
        numbers.insert(site.number);
        const std::string tmpl = SiteTemplate(site, kBase);
        EXPECT_TRUE(tmpl.starts_with("http://"));
        EXPECT_TRUE(SiteHome(site, kBase).starts_with("http://"));
        EXPECT_EQ(fromCp950(SiteCaption(site)), site.caption); // every caption has a Big5 form
        if (isGBSite(SiteCaption(site)))
            gbSites.insert(site.number);
        if (ParseSearchUrl(tmpl).formNumber >= 0)
            postSites.insert(site.number);
    }
    EXPECT_EQ(numbers.size(), 20u);
    EXPECT_EQ(*numbers.begin(), 1);
    EXPECT_EQ(*numbers.rbegin(), 20);
    EXPECT_EQ(gbSites, (std::set<int>{3, 6}));
    EXPECT_EQ(postSites, (std::set<int>{2, 7, 14}));
    EXPECT_EQ(templateOf(1), std::string(kBase) + "search.asp?MethodStr=DOIT&SearchStr=");
    EXPECT_EQ(SiteTemplate(*findWebSite(1), "http://forum.test"), templateOf(1));
    EXPECT_EQ(SiteCaption(*findWebSite(12)).back(), ' ');

    std::multiset<int> grouped;
    for (const SiteGroup &group : WebSiteGroups())
        grouped.insert(group.numbers.begin(), group.numbers.end());
    EXPECT_EQ(std::set<int>(grouped.begin(), grouped.end()), numbers);
    EXPECT_EQ(grouped.size(), 20u);
}
