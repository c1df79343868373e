#pragma once
// The advanced search's statement, composed from the dialog's choices without a window or a database.
// Keyword, member and SQL texts are code page 950.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

// RadioGroup1, by position.
enum class MatchMode { WholeLine, And, Or };
// cbField: position 0 looks in subjects, bodies and replies; every other position in subjects only.
enum class SearchField { All, SubjectOnly };

// The check boxes of the scroll box, in their order: five category kinds, then the two filters.
inline constexpr int kSearchBoxCount = 7;
inline constexpr int kGoldenBox = 5;
inline constexpr int kFileBox = 6;
struct SearchBox {
    const char *caption; // UTF-8
    int tag;             // the CAT_KIND whose categories the box adds
    bool ticked;         // default
};
inline constexpr std::array<SearchBox, kSearchBoxCount> kSearchBoxes{{
    {"Delphi討論文章", 1, true},
    {"BCB討論文章", 2, true},
    {"Linux/Kylix討論文章", 3, true},
    {"VCL元件", 4, false},
    {"其他文章/資料", 9, true},
    {"只找黃金文章", 9, false},
    {"只找有檔案下載者", 4, false},
}};

// cbDate's items (UTF-8); position 0 sets no time condition.
inline constexpr std::array<const char *, 9> kDateRanges{
    "所有日期",   "最近一天",   "最近三天",   "最近一星期", "最近二星期",
    "最近一個月", "最近兩個月", "最近三個月", "最近一年",
};

struct SearchChoices {
    std::string keywords; // Edit1 as typed
    MatchMode mode = MatchMode::And;
    int datePosition = 0; // cbDate; a position outside 1..8 sets no time condition
    SearchField field = SearchField::All;
    std::string member;                // edMember as typed
    std::optional<std::int64_t> forum; // a forum of cbForum; none: the ticked category kinds
    std::array<bool, kSearchBoxCount> boxes{true, true, true, false, true, false, false};
};

// The member's id, or nothing when no member has exactly that name.
using MemberLookup = std::function<std::optional<std::int64_t>(const std::string &memberCp950)>;
// The ids of the categories of one kind, in the order the archive gives them.
using CategoryLookup = std::function<std::vector<std::int64_t>(int kind)>;

// A LIKE pattern that finds the word anywhere: '%word%', its single quotes doubled. When the word holds %,
// _ or \ they are escaped with \ and the pattern carries " ESCAPE '\'", so that they match themselves;
// other words give exactly the plain pattern. Code page 950 characters are taken whole: a trail byte may be
// 0x5C or 0x5F without being either character.
std::string ContainsPattern(std::string_view wordCp950);

// The first day a time range keeps, or nothing for no time condition. Month steps keep the day of the
// month, or take the target month's last day when it has no such day.
std::optional<std::chrono::year_month_day> CutOffDay(std::chrono::year_month_day today, int datePosition);

// The words the statement looks for in subjects and messages, as it cuts them from the keywords.
std::vector<std::string> SearchKeywordList(const SearchChoices &choices);

// The statement in its parts: select + " where " + where + order, and what its keyword condition holds.
struct ComposedSearch {
    std::string select; // up to and with the join
    std::string where;  // W
    std::string order;
    std::vector<std::string> words; // the words of the keyword condition; none without one
    MatchMode mode = MatchMode::And;
    SearchField field = SearchField::All;

    std::string sql() const { return select + " where " + where + order; }
};

// The statement for the choices, or nothing when no ticked box's kind has a category (nothing to run).
// A member name that no member has raises "找不到會員" followed by the name as typed.
std::optional<ComposedSearch> ComposeSearch(const SearchChoices &choices, std::chrono::year_month_day today,
                                            const MemberLookup &memberId, const CategoryLookup &categoryIds);
std::optional<std::string> ComposeSearchSql(const SearchChoices &choices, std::chrono::year_month_day today,
                                            const MemberLookup &memberId, const CategoryLookup &categoryIds);

// The local calendar date.
std::chrono::year_month_day LocalToday();

} // namespace velm
