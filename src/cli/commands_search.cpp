// The quick search and the advanced search, with the dialog's choices given as options.
#include "cli/session.h"

#include "archive/util.h"
#include "base/cp950.h"
#include "codeconv/typed_text.h"
#include "search/advanced_search.h"
#include "search/quick_search.h"
#include "search/search_host.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>

namespace velm {
namespace {

// The topic query of a run, standing in for the main window's.
class CliSearchHost final : public SearchHost {
public:
    explicit CliSearchHost(Connection &archive) : m_topic(&archive) { streamTopicRows(m_topic); }
    void changeTopicQuery(const std::function<void(Query &)> &change) override { change(m_topic); }
    void setStatusText(const std::string &) override {}
    Query &topic() { return m_topic; }

private:
    Query m_topic;
};

int search(Session &session, const std::vector<std::string> &args)
{
    if (args.size() != 1)
        return 2;
    CliSearchHost host(session.archive());
    if (!RunQuickSearch(host, TypedToBig5(args[0]))) {
        session.err() << "查無資料\n";
        return 1;
    }
    printTopicRows(session, host.topic());
    return 0;
}

bool parseNumber(const std::string &text, int low, int high, int &number)
{
    std::int64_t value = 0;
    if (!parseId(text, value) || value < low || value > high)
        return false;
    number = static_cast<int>(value);
    return true;
}

bool parseBoxes(const std::string &list, std::array<bool, kSearchBoxCount> &boxes)
{
    boxes.fill(false);
    size_t from = 0;
    while (from < list.size()) {
        const size_t comma = std::min(list.find(',', from), list.size());
        int box = 0;
        if (!parseNumber(list.substr(from, comma - from), 1, kSearchBoxCount, box))
            return false;
        boxes[static_cast<size_t>(box - 1)] = true;
        from = comma + 1;
    }
    return true;
}

bool parseDay(const std::string &text, std::chrono::year_month_day &day)
{
    int y = 0;
    unsigned m = 0, d = 0;
    char end = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &end) != 3)
        return false;
    day = std::chrono::year{y} / std::chrono::month{m} / std::chrono::day{d};
    return day.ok();
}

int asearch(Session &session, const std::vector<std::string> &args)
{
    SearchChoices choices;
    std::chrono::year_month_day today = LocalToday();
    bool printSql = false;
    std::optional<std::int64_t> forum;
    std::string keywords;
    bool options = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (options && a == "--") {
            options = false;
            continue;
        }
        if (!options || a.rfind("--", 0) != 0) {
            keywords += (keywords.empty() ? "" : " ") + a;
            continue;
        }
        if (a == "--sql") {
            printSql = true;
            continue;
        }
        if (i + 1 >= args.size())
            return 2;
        const std::string &v = args[++i];
        std::int64_t id = 0;
        if (a == "--mode" && (v == "whole" || v == "and" || v == "or"))
            choices.mode = v == "whole" ? MatchMode::WholeLine : v == "and" ? MatchMode::And : MatchMode::Or;
        else if (a == "--field" && (v == "all" || v == "subject"))
            choices.field = v == "all" ? SearchField::All : SearchField::SubjectOnly;
        else if (a == "--date" && parseNumber(v, 0, static_cast<int>(kDateRanges.size()) - 1, choices.datePosition))
            continue;
        else if (a == "--member")
            choices.member = TypedToBig5(v);
        else if (a == "--forum" && parseId(v, id))
            forum = id;
        else if (a == "--boxes" && parseBoxes(v, choices.boxes))
            continue;
        else if (a == "--today" && parseDay(v, today))
            continue;
        else
            return 2;
    }
    choices.keywords = TypedToBig5(keywords);

    Connection &archive = session.archive();
    if (forum) {
        bool listed = false;
        for (const SearchForum &f : SearchForumList())
            listed = listed || f.id == *forum;
        if (!listed) {
            session.err() << "velm: forum " << *forum << " is not in the search's forum list\n";
            return 2;
        }
        choices.forum = forum;
    }

    if (printSql) {
        Query categories;
        const auto sql = ComposeSearchSql(choices, today, ArchiveMemberLookup(), ArchiveCategoryLookup(categories));
        if (!sql) {
            session.err() << "找不到相關資料\n";
            return 1;
        }
        session.out() << fromCp950(*sql) << '\n';
        return 0;
    }
    CliSearchHost host(archive);
    if (!RunAdvancedSearch(host, choices, today)) {
        session.err() << "找不到相關資料\n";
        return 1;
    }
    printTopicRows(session, host.topic());
    return 0;
}

} // namespace

std::vector<CliCommand> searchCommands()
{
    return {
        {"search",
         "  search KEYWORD       the quick search: topics whose subject, body or replies hold the keyword\n"
         "                       (taken as typed), printed as by topics\n",
         &search},
        {"asearch",
         "  asearch [--mode whole|and|or] [--field all|subject] [--date N] [--member NAME]\n"
         "          [--forum FORUM_ID] [--boxes LIST] [--today YYYY-MM-DD] [--sql] KEYWORDS...\n"
         "                       the advanced search with the dialog's choices: --date the time range's\n"
         "                       position (0-8), --boxes the ticked category boxes (default 1,2,3,5),\n"
         "                       --forum a forum of the dialog's list; --sql prints the statement instead\n",
         &asearch},
    };
}

} // namespace velm
