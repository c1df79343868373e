// The web search dialog's build step without a window: the ticked sites' URL texts, one line per tab.
#include "cli/session.h"

#include "base/cp950.h"
#include "settings/settings.h"
#include "websearch/site_table.h"
#include "websearch/web_search.h"

#include <charconv>
#include <ostream>
#include <set>
#include <sstream>

namespace velm {
namespace {

// "1,14,20": site numbers of the table; false for anything else.
bool parseSites(const std::string &list, std::set<int> &sites)
{
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');) {
        int number = 0;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), number);
        if (ec != std::errc() || end != item.data() + item.size() || !findWebSite(number))
            return false;
        sites.insert(number);
    }
    return !sites.empty();
}

int websearch(Session &session, const std::vector<std::string> &args)
{
    std::set<int> sites;
    bool convertGB = true;
    bool convertBig = false;
    const std::string *keyword = nullptr;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--no-gb") {
            convertGB = false;
        } else if (a == "--big5") {
            convertBig = true;
        } else if (a == "--sites" && i + 1 < args.size()) {
            if (!parseSites(args[++i], sites))
                return 2;
        } else if (a == "--" && i + 2 == args.size()) {
            keyword = &args[++i];
        } else if (!keyword && (a.empty() || a.front() != '-' || a == "-")) {
            keyword = &a;
        } else {
            return 2;
        }
    }
    if (!keyword)
        return 2;

    const std::string base = session.options().baseUrl.empty() ? ForumBaseURL() : session.options().baseUrl;
    std::vector<SiteBox> boxes = TableSiteBoxes(base, sites.empty());
    for (SiteBox &box : boxes)
        box.ticked = box.ticked || sites.count(box.number) > 0;
    const SearchLists lists = BuildSearchLists(boxes, TypedKeyword(*keyword), convertGB, convertBig);
    for (size_t i = 0; i < lists.urlTexts.size(); ++i) {
        const KeywordCodePage page = lists.codePages[i];
        const SearchUrl url = ParseSearchUrl(lists.urlTexts[i]);
        session.out() << lists.numbers[i] << '\t' << fromCp950(lists.captions[i]) << '\t'
                      << KeywordToUtf8(lists.urlTexts[i], page) << '\t' << RequestAddress(url.address) << '\t'
                      << url.formNumber << '\t' << KeywordToUtf8(url.fieldName, page) << '\t'
                      << KeywordToUtf8(url.fieldValue, page) << '\n';
    }
    return 0;
}

} // namespace

std::vector<CliCommand> websearchCommands()
{
    return {
        {"websearch",
         "  websearch [--sites LIST] [--no-gb] [--big5] KEYWORD\n"
         "                       the web search's URL texts for the sites of LIST (numbers separated by commas;\n"
         "                       default all twenty), in tab order: number, caption, URL text, address as\n"
         "                       requested, form number, field name, field value; --no-gb sends GB sites the\n"
         "                       keyword unconverted, --big5 sends the other sites its Big5 form (simplified\n"
         "                       characters turned traditional)\n",
         websearch},
    };
}

} // namespace velm
