#include "websearch/web_search.h"

#include "base/cp950.h"
#include "base/percent.h"
#include "base/web_address.h"
#include "base/whole_number.h"
#include "codeconv/gbbig.h"
#include "codeconv/typed_text.h"
#include "websearch/site_table.h"

#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>

namespace velm {
namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Characters RFC 3986 allows nowhere in an address.
bool mayNotStand(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7F)
        return true;
    constexpr std::string_view kExcluded = "\"<>\\^`{|}";
    return kExcluded.find(static_cast<char>(c)) != std::string_view::npos;
}

std::vector<std::string_view> splitFields(std::string_view text, size_t count)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() < count) {
        const size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    fields.resize(count);
    return fields;
}

} // namespace

bool isGBSite(const std::string &caption)
{
    return caption.find(B5("(簡)")) != std::string::npos;
}

TypedKeyword::TypedKeyword(std::string_view utf8) : asTyped(toCp950(utf8)), big5(TypedToBig5(utf8)), gb(TypedToGB(utf8))
{
}

SearchLists BuildSearchLists(const std::vector<SiteBox> &boxes, const TypedKeyword &keyword, bool convertGB,
                             bool convertBig)
{

    std::vector<const SiteBox *> ordered;
    for (const SiteBox &box : boxes)
        if (box.number >= 0 && box.number <= kMaxSiteNumber)
            ordered.push_back(&box);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const SiteBox *a, const SiteBox *b) { return a->number < b->number; });

    SearchLists lists;
    std::set<int> seen;
    for (const SiteBox *box : ordered) {
        if (!seen.insert(box->number).second || !box->ticked)
            continue; // only the first box of a number counts
        const bool gbSite = isGBSite(box->caption);
        KeywordCodePage codePage = KeywordCodePage::Big5;
        const std::string *sent = &keyword.asTyped;
        if (gbSite && convertGB) {
            sent = &keyword.gb;
            codePage = KeywordCodePage::GB;
        } else if (!gbSite && convertBig) {
            sent = &keyword.big5;
        }
        lists.numbers.push_back(box->number);
        lists.captions.push_back(box->caption);
        lists.urlTexts.push_back(box->urlTemplate + *sent);
        lists.codePages.push_back(codePage);
    }
    return lists;
}

std::vector<SiteBox> TableSiteBoxes(const std::string &forumBaseUrl, bool ticked)
{
    std::vector<SiteBox> boxes;
    for (const WebSite &site : WebSiteTable())
        boxes.push_back({site.number, SiteCaption(site), SiteTemplate(site, forumBaseUrl), ticked});
    return boxes;
}

SearchUrl ParseSearchUrl(std::string_view urlText)
{
    const std::vector<std::string_view> fields = splitFields(urlText, 4);
    SearchUrl url;
    url.fieldName = fields[2];
    url.fieldValue = fields[3];
    url.address = fields[0];
    if (const size_t key = url.address.find("#KEY"); key != std::string::npos)
        url.address.replace(key, 4, url.fieldValue);
    int number = 0;
    url.formNumber = parseWholeNumber(fields[1], number) ? number : -1;
    return url;
}

std::string RequestAddress(std::string_view typed)
{
    // An international host name goes in its ASCII form; the keyword bytes lie in the path or query.
    const AuthoritySpan host = authorityOf(typed);
    const std::string asciiHost = std::string(typed.substr(0, host.begin)) +
                                  asciiAuthority(typed.substr(host.begin, host.end - host.begin)) +
                                  std::string(typed.substr(host.end));
    const std::string_view address = asciiHost;
    // Brackets belong only to a host; a Big5 trail byte may be one in the path or query.
    const size_t authorityEnd = authorityOf(address).end;
    std::string out;
    out.reserve(address.size() * 3);
    for (size_t i = 0; i < address.size(); ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        const bool validEscape =
            c == '%' && i + 2 < address.size() && isHexDigit(address[i + 1]) && isHexDigit(address[i + 2]);
        const bool bracket = (c == '[' || c == ']') && i >= authorityEnd;
        if (mayNotStand(c) || bracket || (c == '%' && !validEscape))
            appendPercentEscape(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string KeywordToUtf8(std::string_view bytes, KeywordCodePage codePage)
{
    if (isAscii(bytes))
        return std::string(bytes);
    return codePage == KeywordCodePage::GB ? fromGbk(bytes) : fromCp950(bytes);
}

} // namespace velm
