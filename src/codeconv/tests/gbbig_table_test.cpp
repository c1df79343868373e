// The built-in pair table against every rule it must meet.
#include "base/cp950.h"
#include "codeconv/gbbig.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

using namespace velm;

namespace {

// The 54 listed runs whose first entry is not the lowest Big5 code: GB character, then the run's
// Big5 characters in table order, the produced one first.
constexpr const char *kRuns54 =
    "辟 闢辟, 并 並并併, 采 採采埰, 虫 蟲虫, 雕 雕彫, 吊 吊弔, 端 端耑, 儿 兒儿, 翻 翻繙, 范 範范, "
    "泛 泛氾汎, 丰 豐丰, 杠 槓杠, 构 構搆构, 挂 掛挂, 管 管琯, 后 後后, 划 劃划, 坏 壞坏, 几 幾几, "
    "荐 薦荐, 姜 薑姜, 杰 傑杰, 馈 饋餽, 历 歷曆厤, 璃 璃琍, 帘 簾帘, 敛 歛斂, 秘 秘祕, 啮 嚙齧, "
    "扑 撲扑, 仆 僕仆, 凄 淒悽凄, 球 球毬, 晒 曬晒, 湿 濕溼, 尸 屍尸, 虱 蝨虱, 苏 蘇甦囌, 酸 酸痠, "
    "听 聽听, 喂 餵喂, 污 污汙, 纤 纖縴, 咸 鹹咸, 衔 銜啣, 闲 閒閑, 恤 恤卹, 熏 薰燻熏, 烟 煙菸, "
    "涌 湧涌, 愿 願愿, 征 徵征, 证 證証";

struct ListedRun {
    unsigned gb;
    std::vector<unsigned> big5; // in table order
};

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};

std::unique_ptr<UConverter, ConverterCloser> openGBK()
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterCloser> conv(ucnv_open("windows-936-2000", &status));
    EXPECT_TRUE(U_SUCCESS(status));
    return conv;
}

// A GB code as UTF-8 text through ICU's GBK, or "" when GBK has no character there.
std::string gbCodeToUtf8(unsigned code)
{
    static auto gbk = openGBK();
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    UChar wide[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(gbk.get());
    ucnv_setToUCallBack(gbk.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const int32_t n = ucnv_toUChars(gbk.get(), wide, 4, bytes, 2, &status);
    if (U_FAILURE(status) || n != 1)
        return {};
    char utf8[8];
    int32_t len = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(utf8, sizeof utf8, &len, wide, n, &status);
    return std::string(utf8, static_cast<std::size_t>(len));
}

unsigned utf8ToGBCode(const std::string &utf8)
{
    static auto gbk = openGBK();
    char bytes[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_convert("windows-936-2000", "UTF-8", bytes, sizeof bytes, utf8.data(),
                                   static_cast<int32_t>(utf8.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status) && n == 2) << utf8;
    return static_cast<unsigned char>(bytes[0]) * 256u + static_cast<unsigned char>(bytes[1]);
}

unsigned utf8ToBig5Code(const std::string &utf8)
{
    const std::string bytes = toCp950(utf8);
    EXPECT_EQ(bytes.size(), 2u) << utf8;
    return static_cast<unsigned char>(bytes[0]) * 256u + static_cast<unsigned char>(bytes[1]);
}

std::string big5CodeToUtf8(unsigned code)
{
    return fromCp950(std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)});
}

// Splits "一 壹貳" style text into UTF-8 characters.
std::vector<std::string> characters(std::string_view text)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead != ' ' && lead != ',')
            out.emplace_back(text.substr(i, len));
        i += len;
    }
    return out;
}

std::vector<ListedRun> parseRuns(std::string_view text)
{
    std::vector<ListedRun> runs;
    std::stringstream items{std::string(text)};
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto chars = characters(item);
        ListedRun run{utf8ToGBCode(chars.at(0)), {}};
        for (std::size_t i = 1; i < chars.size(); ++i)
            run.big5.push_back(utf8ToBig5Code(chars[i]));
        runs.push_back(run);
    }
    return runs;
}

std::vector<unsigned> standardBig5Set()
{
    std::vector<unsigned> codes;
    for (unsigned lead = 0xA1; lead <= 0xF9; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            const unsigned code = lead * 256 + trail;
            const bool trailOk = trail <= 0x7E || trail >= 0xA1;
            const bool inSet = (code >= 0xA140 && code <= 0xA3BF) || (code >= 0xA440 && code <= 0xC67E) ||
                               (code >= 0xC940 && code <= 0xF9DC);
            if (trailOk && inSet)
                codes.push_back(code);
        }
    return codes;
}

// The runs of GBToBig5Table, in table order, keyed by GB code.
std::map<unsigned, std::vector<unsigned>> runsOfTable()
{
    std::map<unsigned, std::vector<unsigned>> runs;
    for (const GBBig5Pair &p : GBToBig5Table())
        runs[static_cast<unsigned>(p.gb)].push_back(static_cast<unsigned>(p.big5));
    return runs;
}

bool inGB2312Area(unsigned code)
{
    return (code >> 8) >= 0xA1 && (code >> 8) <= 0xF7 && (code & 0xFF) >= 0xA1;
}

} // namespace

TEST(GBBigTable, HoldsEveryStandardBig5CodeExactlyOnce)
{
    const auto byBig5 = Big5ToGBTable();
    ASSERT_EQ(byBig5.size(), 13468u);
    ASSERT_EQ(GBToBig5Table().size(), 13468u);
    std::vector<unsigned> codes;
    for (const GBBig5Pair &p : byBig5)
        codes.push_back(static_cast<unsigned>(p.big5));
    EXPECT_EQ(codes, standardBig5Set()); // strictly ascending, and the whole set
    EXPECT_EQ(std::count_if(codes.begin(), codes.end(), [](unsigned c) { return c <= 0xA3BF; }), 408);
    EXPECT_EQ(std::count_if(codes.begin(), codes.end(), [](unsigned c) { return c >= 0xA440 && c <= 0xC67E; }), 5401);
    EXPECT_EQ(std::count_if(codes.begin(), codes.end(), [](unsigned c) { return c >= 0xC940 && c <= 0xF9D5; }), 7652);
    EXPECT_EQ(std::find(codes.begin(), codes.end(), 0xC6A1u), codes.end());
}

TEST(GBBigTable, BothOrdersHoldTheSamePairs)
{
    auto key = [](const GBBig5Pair &p) { return std::pair(p.gb, p.big5); };
    std::vector<std::pair<int, int>> a, b;
    for (const GBBig5Pair &p : GBToBig5Table())
        a.push_back(key(p));
    for (const GBBig5Pair &p : Big5ToGBTable())
        b.push_back(key(p));
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end(), [](auto x, auto y) { return x.first < y.first; }));
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

TEST(GBBigTable, GBSideIsGBKAndTheSevenEtenCodesAreQuestionMarks)
{
    const auto byGB = GBToBig5Table();
    const auto byBig5 = Big5ToGBTable();
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(byGB[i].gb, 0x3F3F);
        EXPECT_EQ(byGB[i].big5, static_cast<int>(0xF9D6 + i));
        EXPECT_EQ(byBig5[byBig5.size() - 7 + i].big5, static_cast<int>(0xF9D6 + i));
        EXPECT_EQ(byBig5[byBig5.size() - 7 + i].gb, 0x3F3F);
    }
    for (std::size_t i = 7; i < byGB.size(); ++i) {
        const auto gb = static_cast<unsigned>(byGB[i].gb);
        const unsigned lead = gb >> 8, trail = gb & 0xFF;
        ASSERT_TRUE(lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) << std::hex << gb;
        EXPECT_FALSE(gbCodeToUtf8(gb).empty()) << "no GBK character at " << std::hex << gb;
    }
}

TEST(GBBigTable, TellingRows)
{
    const auto byGB = GBToBig5Table();
    auto at = [&](int gb, int big5) {
        for (std::size_t i = 0; i < byGB.size(); ++i)
            if (byGB[i].gb == gb && byGB[i].big5 == big5)
                return static_cast<long>(i);
        return -1L;
    };
    EXPECT_EQ(at(0x3F3F, 0xF9D6), 0);
    EXPECT_EQ(at(0xFE41, 0xDDFC), static_cast<long>(byGB.size()) - 1);
    for (auto [gb, big5] : {std::pair{0xA1A1, 0xA140},
                            {0xA3AC, 0xA141},
                            {0xD6D0, 0xA4A4},
                            {0xB9FA, 0xB0EA},
                            {0xD2BB, 0xA440},
                            {0xFD93, 0xF9D5},
                            {0xB7A2, 0xB56F},
                            {0xB7A2, 0xBE76}})
        EXPECT_GE(at(gb, big5), 0) << std::hex << gb << " " << big5;
    EXPECT_EQ(at(0xB7A2, 0xB56F) + 1, at(0xB7A2, 0xBE76));
    EXPECT_EQ(runsOfTable().at(0xB7A2).size(), 2u);
}

TEST(GBBigTable, RunOrders)
{
    const auto runs54 = parseRuns(kRuns54);
    ASSERT_EQ(runs54.size(), 54u);
    const auto runs = runsOfTable();
    std::set<unsigned> listed;
    for (const ListedRun &run : runs54) {
        listed.insert(run.gb);
        EXPECT_EQ(runs.at(run.gb), run.big5) << "run of GB " << std::hex << run.gb;
        EXPECT_NE(run.big5.front(), *std::min_element(run.big5.begin(), run.big5.end()));
    }
    int longRuns = 0, lowestFirst = 0;
    for (const auto &[gb, members] : runs) {
        if (members.size() < 2)
            continue;
        ++longRuns;
        if (members.front() == *std::min_element(members.begin(), members.end())) {
            ++lowestFirst;
            EXPECT_TRUE(std::is_sorted(members.begin(), members.end())) << std::hex << gb;
            EXPECT_FALSE(listed.count(gb)) << std::hex << gb;
        } else {
            EXPECT_TRUE(listed.count(gb)) << "first of run is not the lowest: GB " << std::hex << gb;
        }
    }
    EXPECT_EQ(longRuns, 379);
    EXPECT_EQ(lowestFirst, 325);
}

TEST(GBBigTable, FourMemberRuns)
{
    const auto four = parseRuns("干 干乾幹榦, 蒙 蒙濛矇懞, 盘 槃碟盤磐, 台 台臺颱檯, 燕 燕讌醼鷰");
    const auto runs = runsOfTable();
    const std::vector<std::vector<unsigned>> expected = {{0xA47A, 0xB0AE, 0xB746, 0xBA6D},
                                                         {0xBB58, 0xC0DB, 0xC3A9, 0xECE7},
                                                         {0xBA6E, 0xBAD0, 0xBD4C, 0xBD59},
                                                         {0xA578, 0xBB4F, 0xBBE4, 0xC269},
                                                         {0xBF50, 0xF840, 0xF849, 0xF86D}};
    const unsigned gbCodes[] = {0xB8C9, 0xC3C9, 0xC5CC, 0xCCA8, 0xD1E0};
    std::set<unsigned> fourCodes;
    for (std::size_t i = 0; i < four.size(); ++i) {
        EXPECT_EQ(four[i].gb, gbCodes[i]);
        EXPECT_EQ(four[i].big5, expected[i]);
        EXPECT_EQ(runs.at(gbCodes[i]), expected[i]);
        fourCodes.insert(gbCodes[i]);
    }
    for (const auto &[gb, members] : runs) {
        if (gb != 0x3F3F && members.size() >= 4) {
            EXPECT_TRUE(fourCodes.count(gb)) << "another run of four or more: GB " << std::hex << gb;
        }
    }
}

TEST(GBBigTable, CountsMeetTheTargets)
{
    int same = 0, simplified = 0, gb2312 = 0, otherGbk = 0;
    for (const GBBig5Pair &p : Big5ToGBTable()) {
        if (p.gb == 0x3F3F)
            continue;
        const auto gb = static_cast<unsigned>(p.gb);
        (big5CodeToUtf8(static_cast<unsigned>(p.big5)) == gbCodeToUtf8(gb) ? same : simplified)++;
        (inGB2312Area(gb) ? gb2312 : otherGbk)++;
    }
    const auto runs = runsOfTable();
    std::map<std::size_t, int> repeated;
    for (const auto &[gb, members] : runs)
        if (gb != 0x3F3F)
            repeated[members.size()]++;
    const struct {
        const char *name;
        long actual;
        long target;
    } counts[] = {
        {"pairs", static_cast<long>(Big5ToGBTable().size()), 13468},
        {"same-character pairs", same, 10724},
        {"simplified (or variant) pairs", simplified, 2737},
        {"GB codes in the GB2312 area", gb2312, 7201},
        {"GB codes elsewhere in GBK", otherGbk, 6260},
        {"distinct GB codes", static_cast<long>(runs.size()), 13038},
        {"GB codes occurring once", repeated[1], 12659},
        {"GB codes occurring twice", repeated[2], 337},
        {"GB codes occurring three times", repeated[3], 36},
        {"GB codes occurring four times", repeated[4], 5},
        {"GB codes occurring five or more times",
         static_cast<long>(runs.size()) - 1 - repeated[1] - repeated[2] - repeated[3] - repeated[4], 0},
        {"pairs with GB 0x3F3F", static_cast<long>(runs.at(0x3F3F).size()), 7},
    };
    std::printf("%-40s %8s %8s\n", "count", "actual", "required");
    for (const auto &c : counts)
        std::printf("%-40s %8ld %8ld%s\n", c.name, c.actual, c.target, c.actual == c.target ? "" : "  differs");
    for (const auto &c : counts)
        EXPECT_EQ(c.actual, c.target) << c.name;
}
