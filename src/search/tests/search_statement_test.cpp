#include "search/search_statement.h"
#include "search/tests/search_choices.h"

#include "base/cp950.h"
#include "base/error.h"

#include <gtest/gtest.h>

#include <map>

using namespace velm;
using namespace std::chrono;

namespace {

constexpr const char *kSelect = "select distinct FORUM_TOPICS.TOPIC_ID,FORUM_TOPICS.FORUM_ID,T_DATE,T_SUBJECT,"
                                "T_CODESYSTEM,T_AUTHOR,T_REPLIES,T_LAST_POST,T_GOOD from FORUM_TOPICS";
constexpr const char *kJoin = " left join FORUM_REPLY on FORUM_TOPICS.TOPIC_ID = FORUM_REPLY.TOPIC_ID";
constexpr const char *kAllKinds = " FORUM_TOPICS.CAT_ID in (1,2,3,5,6)";
constexpr year_month_day k10March2024 = 2024y / March / 10;

// The archive of the worked examples: kinds 1, 2, 3 and 9 are the categories 1, 2, 3, 5 and 6; abc is 57.
struct Archive {
    std::map<int, std::vector<std::int64_t>> categories{{1, {1}}, {2, {2}}, {3, {3}}, {4, {4}}, {9, {5, 6}}};
    std::vector<std::string> memberLookups;
    std::vector<int> kindLookups;

    std::optional<std::string> compose(const SearchChoices &choices, year_month_day today = k10March2024)
    {
        return ComposeSearchSql(
            choices, today,
            [this](const std::string &name) -> std::optional<std::int64_t> {
                memberLookups.push_back(name);
                return name == "abc" ? std::optional<std::int64_t>(57) : std::nullopt;
            },
            [this](int kind) {
                kindLookups.push_back(kind);
                return categories[kind];
            });
    }
};

// The condition list alone: what stands between " where " and the ORDER BY.
std::string whereOf(const std::string &sql)
{
    const size_t from = sql.find(" where ") + 7;
    return sql.substr(from, sql.rfind("  ORDER BY T_LAST_POST DESC ") - from);
}

using test::choose;

SearchChoices withBoxes(SearchChoices c, std::initializer_list<int> ticked)
{
    c.boxes.fill(false);
    for (int box : ticked)
        c.boxes[static_cast<size_t>(box - 1)] = true;
    return c;
}

TEST(SearchStatement, WorkedExamples)
{
    SearchChoices whole = withBoxes(choose("TreeView", MatchMode::WholeLine, SearchField::SubjectOnly, "abc"), {6});
    whole.datePosition = 3;
    whole.forum = 12;
    SearchChoices either = withBoxes(choose("socket  thread", MatchMode::Or, SearchField::All, "abc"), {1, 5});
    either.datePosition = 5;

    const std::pair<SearchChoices, std::string> cases[] = {
        {choose("socket thread"),
         std::string(kSelect) + kJoin +
             " where ( (( T_SUBJECT like '%socket%' and T_SUBJECT like '%thread%') or ( T_MESSAGE like '%socket%' "
             "and T_MESSAGE like '%thread%')) or ( R_MESSAGE like '%socket%' and R_MESSAGE like '%thread%')) and "
             "FORUM_TOPICS.CAT_ID in (1,2,3,5,6)  ORDER BY T_LAST_POST DESC "},
        {whole, std::string(kSelect) + " where  (T_AUTHOR=57 and (T_SUBJECT='TreeView')) and T_DATE >='20240303' and "
                                       "FORUM_TOPICS.FORUM_ID=12 AND T_GOOD='Y'  ORDER BY T_LAST_POST DESC "},
        {either, std::string(kSelect) + kJoin +
                     " where  ((T_AUTHOR=57 and  (( T_SUBJECT like '%socket%' or  T_SUBJECT like '%thread%') or ( "
                     "T_MESSAGE like '%socket%' or  T_MESSAGE like '%thread%'))) or ( R_AUTHOR=57 and ( R_MESSAGE "
                     "like '%socket%' or  R_MESSAGE like '%thread%'))) and T_DATE >='20240210' and "
                     "FORUM_TOPICS.CAT_ID in (1,5,6)  ORDER BY T_LAST_POST DESC "},
    };
    for (const auto &[choices, expected] : cases)
        EXPECT_EQ(Archive().compose(choices), expected);
}

TEST(SearchStatement, KeywordAndMemberConditions)
{
    struct Case {
        SearchChoices choices;
        std::string where; // before the category condition
        bool joinsReplies;
    };
    const Case cases[] = {
        // Blank runs never give an empty word; blanks and control characters around are dropped.
        {choose(" \t a   b  ", MatchMode::And, SearchField::SubjectOnly),
         "( T_SUBJECT like '%a%' and T_SUBJECT like '%b%') and", false},
        {choose("it's", MatchMode::WholeLine, SearchField::SubjectOnly), "(T_SUBJECT='it''s') and", false},
        {choose("it's", MatchMode::And, SearchField::SubjectOnly), "( T_SUBJECT like '%it''s%') and", false},
        {choose("it's", MatchMode::WholeLine),
         "( ((T_SUBJECT='it''s') or (T_MESSAGE='it''s')) or (R_MESSAGE='it''s')) and", true},
        // Pattern characters match themselves; the escape goes along into every copy of the condition.
        {choose("100%_x", MatchMode::Or, SearchField::SubjectOnly),
         "( T_SUBJECT like '%100\\%\\_x%' ESCAPE '\\') and", false},
        // A member alone: topics written or replied to, so replies are joined.
        {choose("", MatchMode::And, SearchField::All, "abc"), " ((T_AUTHOR=57) or ( R_AUTHOR=57)) and", true},
        // Subject only never looks at replies, with or without a member.
        {choose("", MatchMode::And, SearchField::SubjectOnly, "abc"), " (T_AUTHOR=57) and", false},
        {choose("x y", MatchMode::Or, SearchField::SubjectOnly, "abc"),
         " (T_AUTHOR=57 and ( T_SUBJECT like '%x%' or  T_SUBJECT like '%y%')) and", false},
        // Blank keywords and a blank member: the category condition alone, and no lookup.
        {choose(" \r\n ", MatchMode::And, SearchField::All, " "), "", false},
    };
    for (const Case &c : cases) {
        Archive archive;
        const std::string sql = archive.compose(c.choices).value();
        EXPECT_EQ(whereOf(sql), c.where + kAllKinds) << c.choices.keywords;
        EXPECT_EQ(sql.find(kJoin) != std::string::npos, c.joinsReplies) << c.choices.keywords;
        EXPECT_EQ(archive.memberLookups.size(), c.choices.member == "abc" ? 1u : 0u);
    }
}

TEST(SearchStatement, KeywordListFollowsTheMatchMode)
{
    SearchChoices c;
    c.keywords = "  socket  thread ";
    c.mode = MatchMode::And;
    EXPECT_EQ(SearchKeywordList(c), (std::vector<std::string>{"socket", "thread"}));
    c.mode = MatchMode::Or;
    EXPECT_EQ(SearchKeywordList(c), (std::vector<std::string>{"socket", "thread"}));
    c.mode = MatchMode::WholeLine;
    EXPECT_EQ(SearchKeywordList(c), (std::vector<std::string>{"socket  thread"}));
    c.keywords = "   ";
    EXPECT_TRUE(SearchKeywordList(c).empty());
    c.mode = MatchMode::And;
    EXPECT_TRUE(SearchKeywordList(c).empty());
}

TEST(SearchStatement, UnknownMemberIsReportedAsTyped)
{
    Archive archive;
    try {
        archive.compose(choose("socket", MatchMode::And, SearchField::All, "abc "));
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(std::string(e.what()), B5("找不到會員") + "abc ");
    }
    EXPECT_EQ(archive.memberLookups, std::vector<std::string>{"abc "});
}

TEST(SearchStatement, CutOffDays)
{
    const std::tuple<year_month_day, int, const char *> cases[] = {
        {k10March2024, 0, ""},
        {k10March2024, -1, ""},
        {k10March2024, 9, ""},
        {k10March2024, 1, "20240309"},
        {k10March2024, 2, "20240307"},
        {k10March2024, 3, "20240303"},
        {k10March2024, 4, "20240225"},
        {k10March2024, 5, "20240210"},
        {k10March2024, 6, "20240110"},
        {k10March2024, 7, "20231210"},
        {k10March2024, 8, "20230310"},
        {2024y / February / 29, 8, "20230228"},
        {2024y / March / 31, 5, "20240229"},
        {2023y / March / 31, 5, "20230228"},
        {2024y / July / 31, 7, "20240430"},
        {2024y / January / 3, 3, "20231227"},
    };
    for (const auto &[today, position, cutOff] : cases) {
        SearchChoices choices;
        choices.datePosition = position;
        const std::string date = *cutOff ? std::string(" T_DATE >='") + cutOff + "' and" : "";
        EXPECT_EQ(whereOf(Archive().compose(choices, today).value()), date + kAllKinds)
            << static_cast<int>(today.year()) << "-" << static_cast<unsigned>(today.month()) << "-"
            << static_cast<unsigned>(today.day()) << " at " << position;
    }
}

TEST(SearchStatement, ForumCategoriesAndFilters)
{
    const std::string hasFile = " AND trim(T_FILENAME,char(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,"
                                "22,23,24,25,26,27,28,29,30,31,32))<>''";
    struct Case {
        std::initializer_list<int> boxes;
        std::map<int, std::vector<std::int64_t>> categories;
        std::optional<std::string> where; // none: nothing to run
        std::vector<int> kindsAsked;
    };
    const Case cases[] = {
        // A category shared by two kinds is listed once, and 1 is not taken for a part of 11.
        {{1, 2}, {{1, {11, 7}}, {2, {7, 1}}}, " FORUM_TOPICS.CAT_ID in (11,7,1)", {1, 2}},
        {{6}, {{9, {5, 6}}}, " FORUM_TOPICS.CAT_ID in (5,6) AND T_GOOD='Y'", {9}},
        {{7}, {{4, {4}}}, " FORUM_TOPICS.CAT_ID in (4)" + hasFile, {4}},
        {{1, 5, 6, 7},
         {{1, {1}}, {4, {4}}, {9, {5}}},
         " FORUM_TOPICS.CAT_ID in (1,5,4) AND T_GOOD='Y'" + hasFile,
         {1, 9, 9, 4}},
        {{}, {}, std::nullopt, {}},
        {{1, 4}, {{1, {}}}, std::nullopt, {1, 4}},
    };
    for (const Case &c : cases) {
        Archive archive;
        archive.categories = c.categories;
        const auto sql = archive.compose(withBoxes({}, c.boxes));
        EXPECT_EQ(sql ? std::optional(whereOf(*sql)) : std::nullopt, c.where);
        EXPECT_EQ(archive.kindLookups, c.kindsAsked);
    }
    // A forum replaces the categories; the filters still apply.
    SearchChoices forum = withBoxes({}, {1, 6});
    forum.forum = 104;
    Archive archive;
    EXPECT_EQ(whereOf(archive.compose(forum).value()), " FORUM_TOPICS.FORUM_ID=104 AND T_GOOD='Y'");
    EXPECT_TRUE(archive.kindLookups.empty());
}

} // namespace

// Only %, _ and \ are escaped, and only where they are characters of their own: the trail byte of a Big5
// character may be 0x5C or 0x5F.
TEST(SearchStatement, ContainsPatternEscapesOnlyPatternCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"rs232", "'%rs232%'"},
        {"it's", "'%it''s%'"},
        {"%d", "'%\\%d%' ESCAPE '\\'"},
        {"__init__", "'%\\_\\_init\\_\\_%' ESCAPE '\\'"},
        {"C:\\", "'%C:\\\\%' ESCAPE '\\'"},
        {B5("許功"), "'%" + B5("許功") + "%'"}, // B3 5C A5 5C
        {B5("許") + "_", "'%" + B5("許") + "\\_%' ESCAPE '\\'"},
    };
    for (const auto &[word, pattern] : cases)
        EXPECT_EQ(ContainsPattern(word), pattern) << word;
}

