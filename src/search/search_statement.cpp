#include "search/search_statement.h"

#include "archive/util.h"
#include "base/cp950.h"
#include "base/error.h"

#include <cstdio>
#include <ctime>

namespace velm {
namespace {

using namespace std::chrono;

constexpr const char *kSelect = "select distinct FORUM_TOPICS.TOPIC_ID,FORUM_TOPICS.FORUM_ID,T_DATE,T_SUBJECT,"
                                "T_CODESYSTEM,T_AUTHOR,T_REPLIES,T_LAST_POST,T_GOOD from FORUM_TOPICS";
constexpr const char *kReplyJoin = " left join FORUM_REPLY on FORUM_TOPICS.TOPIC_ID = FORUM_REPLY.TOPIC_ID";
constexpr const char *kOrder = "  ORDER BY T_LAST_POST DESC ";
// The article page's rule for its download link: blanks and control characters trimmed; null never passes.
constexpr const char *kHasFile =
    " AND trim(T_FILENAME,char(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,"
    "31,32))<>''";

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string trimmed(const std::string &text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && isBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && isBlankOrControl(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string blanksTrimmed(const std::string &text)
{
    const auto begin = text.find_first_not_of(' ');
    return begin == std::string::npos ? std::string() : text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

std::string quoted(const std::string &text)
{
    return "'" + QuoteDoubled(text) + "'";
}

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The keyword condition on subjects: T of the composition.
std::string subjectCondition(std::string keywords, MatchMode mode)
{
    if (mode == MatchMode::WholeLine)
        return "(T_SUBJECT=" + quoted(keywords) + ")";
    // Both connectors are five characters, so cutting four leaves "( T_SUBJECT" either way.
    const std::string connector = mode == MatchMode::And ? " and " : " or  ";
    std::string condition;
    do {
        const std::string word = CutToken(" ", keywords);
        condition += connector + "T_SUBJECT like " + ContainsPattern(word);
    } while (!blanksTrimmed(keywords).empty());
    return "(" + condition.substr(4) + ")";
}

} // namespace

std::string ContainsPattern(std::string_view wordCp950)
{
    std::string escaped;
    bool escapes = false;
    for (size_t at = 0; at < wordCp950.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(wordCp950[at]);
        if (c >= 0x81 && c <= 0xFE && at + 1 < wordCp950.size()) {
            escaped += wordCp950.substr(at, 2);
            ++at;
            continue;
        }
        if (c == '%' || c == '_' || c == '\\') {
            escaped += '\\';
            escapes = true;
        }
        escaped += static_cast<char>(c);
    }
    return "'%" + QuoteDoubled(escaped) + "%'" + (escapes ? " ESCAPE '\\'" : "");
}

std::vector<std::string> SearchKeywordList(const SearchChoices &choices)
{
    std::string keywords = trimmed(choices.keywords);
    if (keywords.empty())
        return {};
    if (choices.mode == MatchMode::WholeLine)
        return {keywords};
    std::vector<std::string> words;
    do {
        if (std::string word = CutToken(" ", keywords); !word.empty())
            words.push_back(std::move(word));
    } while (!blanksTrimmed(keywords).empty());
    return words;
}

namespace {

year_month_day monthsBefore(year_month_day day, int months)
{
    const year_month_day target = (year_month{day.year(), day.month()} - std::chrono::months{months}) / day.day();
    return target.ok() ? target : year_month_day{target.year() / target.month() / last};
}

std::string eightDigits(year_month_day day)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                  static_cast<unsigned>(day.day()));
    return text;
}

} // namespace

std::optional<year_month_day> CutOffDay(year_month_day today, int datePosition)
{
    constexpr int kDays[] = {0, 1, 3, 7, 14};
    constexpr int kMonths[] = {0, 0, 0, 0, 0, 1, 2, 3, 12};
    if (datePosition >= 1 && datePosition <= 4)
        return year_month_day{sys_days{today} - days{kDays[datePosition]}};
    if (datePosition >= 5 && datePosition <= 8)
        return monthsBefore(today, kMonths[datePosition]);
    return std::nullopt;
}

std::optional<ComposedSearch> ComposeSearch(const SearchChoices &choices, year_month_day today,
                                            const MemberLookup &memberId, const CategoryLookup &categoryIds)
{
    const std::string keywords = trimmed(choices.keywords);
    const bool memberGiven = !trimmed(choices.member).empty();
    const bool allFields = choices.field == SearchField::All;
    std::string topic, reply, where;

    if (!keywords.empty()) {
        topic = subjectCondition(keywords, choices.mode);
        if (!allFields) {
            if (!memberGiven)
                where = "and " + topic;
        } else {
            reply = replaced(topic, "T_SUBJECT", "R_MESSAGE");
            topic = " (" + topic + " or " + replaced(topic, "T_SUBJECT", "T_MESSAGE") + ")";
            if (!memberGiven)
                where = "and (" + topic + " or " + reply + ")";
        }
    }

    if (memberGiven) {
        if (!topic.empty())
            topic = " and " + topic;
        if (!reply.empty())
            reply = " and " + reply;
        // Looked up exactly as typed: a trailing blank is part of the name.
        const std::optional<std::int64_t> id = memberId(choices.member);
        if (!id)
            throw Error(B5("找不到會員") + choices.member);
        topic = "T_AUTHOR=" + std::to_string(*id) + topic;
        if (!allFields) {
            where = " and (" + topic + ")";
        } else {
            reply = " R_AUTHOR=" + std::to_string(*id) + reply;
            where = " and ((" + topic + ") or (" + reply + "))";
        }
    }

    if (const auto cutOff = CutOffDay(today, choices.datePosition))
        where += " and T_DATE >=" + quoted(eightDigits(*cutOff));

    if (choices.forum) {
        where += " and FORUM_TOPICS.FORUM_ID=" + std::to_string(*choices.forum);
    } else {
        std::string list = ",";
        for (int box = 0; box < kSearchBoxCount; ++box) {
            if (!choices.boxes[static_cast<size_t>(box)])
                continue;
            for (std::int64_t id : categoryIds(kSearchBoxes[static_cast<size_t>(box)].tag)) {
                const std::string text = std::to_string(id);
                if (list.find("," + text + ",") == std::string::npos)
                    list += text + ",";
            }
        }
        // "in ()" is no statement the database takes: with no category there is nothing to search.
        if (list == ",")
            return std::nullopt;
        where += " and FORUM_TOPICS.CAT_ID in (" + list.substr(1, list.size() - 2) + ")";
    }

    where.erase(0, 4);
    std::string sql = kSelect;
    if (!reply.empty())
        sql += kReplyJoin;
    if (choices.boxes[kGoldenBox])
        where += " AND T_GOOD='Y'";
    if (choices.boxes[kFileBox])
        where += kHasFile;
    return ComposedSearch{sql, where, kOrder, SearchKeywordList(choices), choices.mode, choices.field};
}

std::optional<std::string> ComposeSearchSql(const SearchChoices &choices, year_month_day today,
                                            const MemberLookup &memberId, const CategoryLookup &categoryIds)
{
    const std::optional<ComposedSearch> composed = ComposeSearch(choices, today, memberId, categoryIds);
    return composed ? std::optional<std::string>(composed->sql()) : std::nullopt;
}

year_month_day LocalToday()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
           day{static_cast<unsigned>(local.tm_mday)};
}

} // namespace velm
