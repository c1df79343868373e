#include "cli/cli.h"

#include "base/cp950.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace velm;

namespace {

struct CliRun {
    int status;
    std::vector<std::vector<std::string>> rows; // lines cut at tabs
    std::string err;
};

CliRun websearch(std::vector<std::string> args)
{
    args.insert(args.begin(), {"--base-url", "http://forum.test/", "websearch"});
    std::istringstream in;
    std::ostringstream out, err;
    CliRun run{runCli(args, in, out, err), {}, err.str()};
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        run.rows.push_back(fields);
    }
    return run;
}

// Bytes as an address carries them.
std::string percent(const std::string &bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (b < 0x80) {
            out += static_cast<char>(b);
            continue;
        }
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    return out;
}

std::string column(const CliRun &run, size_t row, size_t field)
{
    return row < run.rows.size() && field < run.rows[row].size() ? run.rows[row][field] : "(missing)";
}

} // namespace

TEST(WebSearchCli, AllTwentySitesWithTheWorkedExamples)
{
    const CliRun run = websearch({"abc"});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.rows.size(), 20u);
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(run.rows[i].size(), 7u);
        EXPECT_EQ(column(run, i, 0), std::to_string(i + 1));
    }
    EXPECT_EQ(run.rows[0],
              (std::vector<std::string>{"1", "Velm討論區", "http://forum.test/search.asp?MethodStr=DOIT&SearchStr=abc",
                                        "http://forum.test/search.asp?MethodStr=DOIT&SearchStr=abc", "-1", "", ""}));
    EXPECT_TRUE(column(run, 1, 2).ends_with("/search.asp?MethodStr=DOIT&Search=#KEY,1,Search,abc"));
    EXPECT_TRUE(column(run, 1, 3).ends_with("/search.asp?MethodStr=DOIT&Search=abc"));
    EXPECT_EQ(column(run, 1, 4) + column(run, 1, 5) + column(run, 1, 6), "1Searchabc");
    EXPECT_TRUE(column(run, 13, 3).ends_with("/search.asp?ftext=abc"));
    EXPECT_EQ(column(run, 13, 4) + "|" + column(run, 13, 5) + "|" + column(run, 13, 6), "2||abc");
}

TEST(WebSearchCli, SitesInTabOrderAndTheConversionSwitches)
{
    const CliRun picked = websearch({"--sites", "20,1,14", "x"});
    ASSERT_EQ(picked.rows.size(), 3u);
    EXPECT_EQ(column(picked, 0, 0) + column(picked, 1, 0) + column(picked, 2, 0), "11420");

    // Site 3 is a GB site, site 4 a Big5 one; the keyword is UTF-8 as typed on the command line.
    const std::string tradBig5 = percent(toCp950("資料庫"));
    const std::string tradGB = percent(utf8ToGbk("资料库"));
    const std::string simplifiedAsBig5 = percent(toCp950("?料?"));
    struct Case {
        std::string keyword;
        std::vector<std::string> switches;
        std::string gbSiteAddressEnd, otherAddressEnd, gbSiteUrlTextEnd, otherUrlTextEnd;
    };
    const Case cases[] = {
        {"資料庫", {}, tradGB, tradBig5, "资料库", "資料庫"},
        {"資料庫", {"--no-gb"}, tradBig5, tradBig5, "資料庫", "資料庫"},
        // A traditional keyword reaches Big5 sites unchanged with --big5.
        {"資料庫", {"--big5"}, tradGB, tradBig5, "资料库", "資料庫"},
        {"资料库", {}, tradGB, simplifiedAsBig5, "资料库", "?料?"},
        {"资料库", {"--no-gb"}, simplifiedAsBig5, simplifiedAsBig5, "?料?", "?料?"},
        // A simplified one reaches them traditional.
        {"资料库", {"--big5"}, tradGB, tradBig5, "资料库", "資料庫"},
        {"资料库", {"--big5", "--no-gb"}, simplifiedAsBig5, tradBig5, "?料?", "資料庫"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {"--sites", "3,4", c.keyword});
        const CliRun run = websearch(args);
        SCOPED_TRACE(c.keyword + (c.switches.empty() ? "" : " " + c.switches[0]));
        ASSERT_EQ(run.rows.size(), 2u);
        EXPECT_TRUE(column(run, 0, 3).ends_with(c.gbSiteAddressEnd)) << column(run, 0, 3);
        EXPECT_TRUE(column(run, 0, 2).ends_with(c.gbSiteUrlTextEnd)) << column(run, 0, 2);
        EXPECT_EQ(column(run, 1, 2),
                  "http://www.cjiugui.idv.tw/cgi-bin/onersb.cgi?id=ccpp&srh=srhsubject&keyword=" + c.otherUrlTextEnd);
        EXPECT_TRUE(column(run, 1, 3).ends_with(c.otherAddressEnd)) << column(run, 1, 3);
    }
}

TEST(WebSearchCli, WrongArgumentsAreRefused)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},          {"a", "b"},         {"--sites", "21", "a"}, {"--sites", "1,x", "a"}, {"--sites", "", "a"},
        {"--sites"}, {"--unknown", "a"},
    };
    for (const auto &args : wrong) {
        const CliRun run = websearch(args);
        EXPECT_EQ(run.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_TRUE(run.rows.empty());
    }
}
