#pragma once
// UWebSearch without a window: the URL texts of the ticked sites and how they are taken apart.
#include <string>
#include <string_view>
#include <vector>

namespace velm {

// The code page of the keyword bytes inside one URL text.
enum class KeywordCodePage { Big5, GB };

// One site box as the dialog finds it: texts are code page 950.
struct SiteBox {
    int number;
    std::string caption;
    std::string urlTemplate;
    bool ticked;
};

// Two lists of equal length and order, plus each site's number and the code page of its URL text's keyword.
struct SearchLists {
    std::vector<int> numbers;
    std::vector<std::string> captions;
    std::vector<std::string> urlTexts;
    std::vector<KeywordCodePage> codePages;
    bool empty() const { return urlTexts.empty(); }
};

// The highest site box number the dialog looks for.
inline constexpr int kMaxSiteNumber = 100;

// True for a simplified-Chinese site: its caption holds "(簡)".
bool isGBSite(const std::string &caption);

// The typed keyword (UTF-8) in the forms the sites may receive.
struct TypedKeyword {
    explicit TypedKeyword(std::string_view utf8);
    std::string asTyped; // code page 950, characters Big5 lacks as '?'
    std::string big5;    // TypedToBig5: simplified characters through the pair table
    std::string gb;      // TypedToGB
};

// BitBtn1Click's build step: ticked boxes in number order (0 to 100, the first box of a number),
// the keyword in GB for GB sites when convertGB, in its Big5 form for the others when convertBig,
// otherwise as typed.
SearchLists BuildSearchLists(const std::vector<SiteBox> &boxes, const TypedKeyword &keyword, bool convertGB,
                             bool convertBig);

// The site boxes of the built-in table, all with the same tick.
std::vector<SiteBox> TableSiteBoxes(const std::string &forumBaseUrl, bool ticked);

struct SearchUrl {
    std::string address;
    int formNumber = -1;
    std::string fieldName;
    std::string fieldValue;
};

SearchUrl ParseSearchUrl(std::string_view urlText);

// The address as the request carries it: bytes of 0x80 and above and characters that may not stand in
// an address are percent-encoded byte for byte, so the site receives the keyword in its own code page.
std::string RequestAddress(std::string_view address);

// The keyword bytes of one URL text as UTF-8, read in their code page.
std::string KeywordToUtf8(std::string_view bytes, KeywordCodePage codePage);

} // namespace velm
