#include "websearch/site_table.h"

#include "base/cp950.h"
#include "base/web_address.h"

#include <array>

namespace velm {
namespace {

constexpr const char *kContactAddress = "websearch@velm.org.tw";

// Every outside host, caption and template lives here and nowhere else.
constexpr std::array<WebSite, 20> kSites{{
    {1, "Velm討論區", nullptr, "/search.asp?MethodStr=DOIT&SearchStr=", nullptr},
    {2, "Programmer深度論壇", "www.pgdeep.com.tw", "/search.asp?MethodStr=DOIT&Search=#KEY,1,Search,",
     "http://www.pgdeep.com.tw/"},
    {3, "大富翁論壇(簡)", "www.dfwforum.com.cn", "/search.jsp?S1=+", "http://www.dfwforum.com.cn/"},
    {4, "c酒鬼", "www.cjiugui.idv.tw",
     "/cgi-bin/onersb.cgi?id=ccpp&srh=srhsubject&keyword=", "http://www.cjiugui.idv.tw/"},
    {5, "中山美麗島BBS(Delphi)", "bbs.zsmld.org.tw", "/cgi-bin/searcher?a=15&s=2&p=", "http://bbs.zsmld.org.tw/"},
    {6, "北大未名站-Delphi技術(簡)", "bbs.weiming-delphi.net.cn",
     "/cgi-bin/bbssearch?go=T&board=Delphi&to=", "http://bbs.weiming-delphi.net.cn/"},
    {7, "Delphi知識分享討論區", "www.delphishare.com.tw", "/bbs/search.asp?MethodStr=DOIT&Search=#KEY,1,Search,",
     "http://www.delphishare.com.tw/bbs/"},
    {8, "Borland總公司(英)", "search.borlandhq.com", "/query.html?qt=", "http://www.borlandhq.com/"},
    {9, "聯詮SmartQuery", "www.lianquan.com.tw",
     "/Board/Smart-Query/search.asp?field=repna&key=", "http://www.lianquan.com.tw/"},
    {10, "聯詮eB-Smart(Delphi)", "www.lianquan.com.tw",
     "/Board/eB-Smart/search.asp?field=repna&key=", "http://www.lianquan.com.tw/"},
    {11, "聯詮eB-Smart(ASP.NET)", "www.lianquan.com.tw",
     "/Board/eB-Smart.ForAspDotNet/search.asp?field=repna&key=", "http://www.lianquan.com.tw/"},
    {12, "聯詮Visual Report ", "www.lianquan.com.tw",
     "/Board/VisualReport/search.asp?field=repna&key=", "http://www.lianquan.com.tw/"},
    {13, "麻辣家族(Delphi)", "www.mala-family.com.tw",
     "/bbs1.php?keys=subject&BBS_Kind=delphi&cbbsname=Delphi&keyw=", "http://www.mala-family.com.tw/"},
    {14, "delphitips.net(英)", "www.delphitips.net", "/search.asp?ftext=#KEY,2,,", "http://www.delphitips.net/"},
    {15, "Delphi俱樂部", "www.delphiclub.org.tw",
     "/search.php?mode=results&search_keywords=", "http://www.delphiclub.org.tw/"},
    {16, "Kestrel's Delphi Pages(英)", "www.kestrelpages.com",
     "/quicksearch.php?title=no&String=", "http://www.kestrelpages.com/"},
    {17, "Delphi Programming(英)", "www.delphiprogramming.info",
     "/sitesearch.htm?terms=", "http://www.delphiprogramming.info/"},
    {18, "Delphi Page(英)", "www.delphipage.net",
     "/threads/index.cfm?LSR=1&SC=2&AO=and&SR=", "http://www.delphipage.net/"},
    {19, "DelphiABC(英)", "www.delphiabc.net",
     "/SearchRes.asp?TorD=1&quick=yes&s.x=4&s.y=9&Phrase=", "http://www.delphiabc.net/"},
    {20, "VCLcomponents(英)", "www.vclcomponents.net",
     "/search.asp?GRP=&TYPE=0&ID_CATEGORY=0&SUBMIT=Search&KEYWORD=", "http://www.vclcomponents.net/"},
}};

constexpr std::array kForums{1, 2, 15, 7};
constexpr std::array kOthers{5, 4, 13};
constexpr std::array kSimplified{3, 6};
constexpr std::array kForeign{8, 16, 14, 17, 18, 19, 20};
constexpr std::array kCommercial{9, 10, 11, 12};

const std::array<SiteGroup, 5> kGroups{{
    {"討論區類", kForums},
    {"其它類", kOthers},
    {"簡體網站", kSimplified},
    {"國外網站", kForeign},
    {"商業網站", kCommercial},
}};

} // namespace

std::span<const WebSite> WebSiteTable()
{
    return kSites;
}

std::span<const SiteGroup> WebSiteGroups()
{
    return kGroups;
}

const WebSite *findWebSite(int number)
{
    for (const WebSite &site : kSites)
        if (site.number == number)
            return &site;
    return nullptr;
}

const char *WebSearchContactAddress()
{
    return kContactAddress;
}

std::string SiteCaption(const WebSite &site)
{
    return toCp950(site.caption);
}

std::string SiteTemplate(const WebSite &site, const std::string &forumBaseUrl)
{
    if (!site.host) {
        // The keyword joins the template in its own code page: the forum's address goes in its ASCII form.
        std::string base = wireAddress(forumBaseUrl);
        if (base.empty() || base.back() != '/')
            base += '/';
        return base + (site.path + 1);
    }
    return std::string("http://") + site.host + site.path;
}

std::string SiteHome(const WebSite &site, const std::string &forumBaseUrl)
{
    return site.home ? std::string(site.home) : forumBaseUrl;
}

} // namespace velm
