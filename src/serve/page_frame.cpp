#include "serve/page_frame.h"

#include <QString>

namespace velm::serve {
namespace {

constexpr const char *kStyle = R"css(
body{margin:0;background:#ffffd7;color:#000;font-family:"AR PL UMing TW","Noto Sans CJK TC",sans-serif}
main table table td:first-child{white-space:nowrap}
main table table td:last-child{overflow-wrap:anywhere}
header{background:#191970;color:#f5fffa;padding:.4em .6em;display:flex;flex-wrap:wrap;gap:.4em 1em;
 align-items:center}
header a{color:#f5fffa;font-weight:bold;text-decoration:none}
header form{display:flex;gap:.3em;flex:1 1 14em;max-width:30em}
header input{flex:1;min-width:0;font-size:1em}
main{padding:.6em}
h1{font-size:1.2em;margin:.2em 0 .6em}
img{max-width:100%;height:auto}
ul.tree,ul.tree ul{list-style:none;padding-left:15px;margin:0}
ul.tree li{margin:.25em 0}
ul.tree summary{cursor:pointer;font-weight:bold}
.count{color:#555;font-size:.9em}
table.topics{border-collapse:collapse;width:100%;background:#d7d7ff}
table.topics th,table.topics td{border:1px solid #999;padding:.25em .4em;text-align:left;vertical-align:top}
table.topics td.n{text-align:right}
nav.pages{margin:.8em 0;display:flex;gap:1em;flex-wrap:wrap}
form.asearch{display:grid;grid-template-columns:max-content 1fr;gap:.4em .8em;max-width:44em;margin-bottom:1em}
form.asearch fieldset{grid-column:1/3}
.message{padding:.6em;background:#fff;border:1px solid #999}
@media (max-width:640px){
 table.topics thead{display:none}
 table.topics tr{display:block;border-bottom:1px solid #999;padding:.3em 0}
 table.topics td{display:inline;border:0;padding:0 .6em 0 0;font-size:.9em}
 table.topics td[data-label]::before{content:attr(data-label) " ";color:#555}
 table.topics td.subject{display:block;font-size:1.05em}
 table.topics td.empty{display:none}
 form.asearch{grid-template-columns:1fr}
 form.asearch fieldset{grid-column:1}
}
)css";

} // namespace

std::string htmlEscaped(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toHtmlEscaped().toStdString();
}

std::string framedPage(std::string_view titleUtf8, std::string_view bodyUtf8, bool searchBox)
{
    std::string page = "<!DOCTYPE html>\n<html lang=\"zh-Hant\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\"><title>";
    page.append(htmlEscaped(titleUtf8)).append("</title><style>").append(kStyle).append("</style></head><body>");
    page.append("<header><a href=\"/\">Velm討論區</a>");
    if (searchBox)
        page.append("<form action=\"/search\" method=\"get\" role=\"search\">"
                    "<input name=\"q\" type=\"search\" placeholder=\"於此輸入查詢鍵詞\" aria-label=\"查詢鍵詞\">"
                    "<button title=\"快速搜尋離線包文章\">搜尋</button></form>");
    page.append("<a href=\"/asearch\" title=\"進階搜尋離線包文章\">進階搜尋</a></header>\n<main>");
    page.append(bodyUtf8).append("</main></body></html>\n");
    return page;
}

Response errorPage(int status, std::string_view detailUtf8)
{
    const char *text = "伺服器內部錯誤";
    switch (status) {
    case 400:
        text = "要求的格式不正確";
        break;
    case 404:
        text = "找不到這個網頁";
        break;
    case 405:
        text = "只接受 GET 與 HEAD 要求";
        break;
    case 413:
        text = "要求不能帶有內容";
        break;
    case 414:
        text = "網址太長";
        break;
    case 431:
        text = "要求的標頭太大";
        break;
    case 503:
        text = "伺服器忙碌中，請稍後再試";
        break;
    }
    const std::string title = std::to_string(status) + " " + text;
    std::string body = "<h1>" + title + "</h1>";
    if (!detailUtf8.empty())
        body.append("<p class=\"message\">").append(htmlEscaped(detailUtf8)).append("</p>");
    return {status, framedPage(title, body + "<p><a href=\"/\">回到討論區列表</a></p>")};
}

} // namespace velm::serve
