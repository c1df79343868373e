#include "article/article_page.h"

#include "archive/forum_text.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/web_address.h"

#include <charconv>

namespace velm {
namespace {

constexpr const char *kTemplateLines[] = {
    R"(<html>)",
    R"(<META http-equiv=Content-Type content="text/html; charset=big5">)",
    // The faces the page names are seldom installed here: metric-compatible ones stand in before the
    // engine's serif default would. A followed topic link shows no focus ring.
    R"(<style>font[face]{font-family:Verdana,Arial,Helvetica,"Liberation Sans","DejaVu Sans",sans-serif})"
    R"( a:focus{outline:none}</style>)",
    R"(<#T_GOOD><br>)",
    R"(<table border="0" width="100%" cellspacing="0" cellpadding="0" align="center">)",
    R"(  <tr>)",
    R"(    <td bgcolor="black">)",
    R"(    <table border="0" width="100%" cellspacing="1" cellpadding="3">)",
    R"(      <tr>)",
    R"(        <td colspan=2 align="left" bgcolor="midnightblue"><b><font face="Verdana, Arial, Helvetica" )"
    R"(size="2" color="mintcream">&nbsp;<#F_SUBJECT>&nbsp;</font></b></td>)",
    R"(      </tr>)",
    R"(      <tr>)",
    R"(        <td colspan=7 bgcolor="slateblue" align=left>)",
    R"(<b><font face=Verdana, Arial, Helvetica size=2 color=mintcream><#T_SUBJECT></b></font>)",
    R"(        </td>)",
    R"(    </tr>)",
    R"(<tr>)",
    R"(<td bgcolor="whitesmoke" align=left valign=top width=10%>)",
    R"(<font face="Verdana, Arial, Helvetica" color="midnightblue" size="2">)",
    R"(<b>發表人</b></font></td>)",
    R"(<td bgcolor="whitesmoke"  align=left  valign=top width=90%>)",
    R"(<font face="Verdana, Arial, Helvetica" color="midnightblue" size="2">)",
    R"(<b>內文</b></font></td></tr>)",
    R"()",
    R"(<#REPLY>)",
    R"(  </table>)",
    R"(</td>)",
    R"(</tr>)",
    R"(</table>)",
    R"(</html>)",
    R"()",
};

constexpr const char *kFirstRowStart = R"(<tr><td bgcolor="whitesmoke" align=left valign=top><font face="Verdana, )"
                                       R"(Arial, Helvetica" color="midnightblue" size="2"><b>)";
constexpr const char *kReplyRowStart = R"(<tr><td bgcolor="whitesmoke" align=left  valign=top><font face="Verdana, )"
                                       R"(Arial, Helvetica" color="midnightblue" size="2"><b>)";
constexpr const char *kNameEnd = "</b><br>";
constexpr const char *kFirstRowMiddle = R"(</font></td><td bgcolor="whitesmoke"  align=left  valign=top><font )"
                                        R"(face="Verdana, Arial, Helvetica" color="midnightblue" size="2">)";
constexpr const char *kReplyRowMiddle = R"(</font></td><td bgcolor="whitesmoke"  align=left valign=top><font )"
                                        R"(face="Verdana, Arial, Helvetica" color="midnightblue" size="2">)";
constexpr const char *kFirstRowEnd = "</font></td></tr>";
constexpr const char *kReplyRowEnd = "</td>";

std::string templateText()
{
    std::string text;
    for (const char *line : kTemplateLines)
        text.append(line).append("\r\n");
    return toCp950(text);
}

bool sameName(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string withoutBlanksAndControls(const std::string &text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

int codeSystemOf(const Field &field)
{
    return static_cast<int>(field.asInteger());
}

} // namespace

const std::string &ArticleTemplate()
{
    static const std::string text = templateText();
    return text;
}

std::string ExpandTemplate(std::string_view templateText, const std::function<std::string(std::string_view)> &tagText)
{
    std::string page;
    page.reserve(templateText.size());
    size_t done = 0;
    for (size_t open; (open = templateText.find("<#", done)) != std::string_view::npos;) {
        const size_t close = templateText.find('>', open + 2);
        if (close == std::string_view::npos)
            break;
        page.append(templateText.substr(done, open - done));
        page.append(tagText(templateText.substr(open + 2, close - open - 2)));
        done = close + 1;
    }
    page.append(templateText.substr(done));
    return page;
}

std::string ArticlePageUtf8(const Big5Text &page)
{
    std::string utf8 = page.toUtf8();
    // Only the template's own line near the start: a post may quote the same text.
    constexpr std::string_view declared = "charset=big5\">";
    const std::size_t at = utf8.find(declared);
    if (at != std::string::npos && at < 80)
        utf8.replace(at, declared.size(), "charset=utf-8\">");
    return utf8;
}

void ArticlePage::prepare(Connection *connection)
{
    m_topic.setConnection(connection);
    m_topic.setSql(kTopicSql);
    m_topic.prepare();
    m_reply.setConnection(connection);
    m_reply.setSql(kReplySql);
    m_reply.prepare();
}

void ArticlePage::unprepare()
{
    m_topic.close();
    m_topic.unprepare();
    m_reply.close();
    m_reply.unprepare();
}

bool ArticlePage::build(const std::string &topicIdText, std::string_view forumBaseUrl, Big5Text &page)
{
    // tpc_id is an integer parameter: text that is no whole number names no topic.
    std::int64_t topicId = 0;
    const char *const end = topicIdText.data() + topicIdText.size();
    const auto parsed = std::from_chars(topicIdText.data(), end, topicId);
    if (topicIdText.empty() || parsed.ec != std::errc() || parsed.ptr != end)
        return false;

    m_topic.close();
    m_topic.setParam("tpc_id", Value::integer(topicId));
    m_topic.open();
    if (m_topic.isEmpty())
        return false;
    m_reply.close();
    m_reply.setParam("tpc_id", Value::integer(topicId));
    m_reply.open();

    m_linkBase = wireAddress(forumBaseUrl);
    m_shownBase = toCp950PageText(forumBaseUrl);
    page = Big5Text(
        ExpandTemplate(ArticleTemplate(), [this](std::string_view name) { return PageProducer1HTMLTag(name); }));
    return true;
}

std::string ArticlePage::PageProducer1HTMLTag(std::string_view tagName)
{
    if (sameName(tagName, "T_GOOD"))
        return markerLine();
    if (sameName(tagName, "F_SUBJECT"))
        return forumName();
    if (sameName(tagName, "T_SUBJECT"))
        return SubjectText(m_topic.fieldByName("T_SUBJECT").asString(), m_topic.fieldByName("T_CODESYSTEM").value());
    if (sameName(tagName, "REPLY"))
        return postRows();
    if (sameName(tagName, "T_AUTHOR"))
        return m_topic.fieldByName("M_NAME").asString();
    if (sameName(tagName, "T_REPLIES"))
        return m_topic.fieldByName("T_REPLIES").asString();
    if (sameName(tagName, "T_LAST_POST"))
        return FormatForumDate(m_topic.fieldByName("T_LAST_POST").asString());
    return {};
}

std::string ArticlePage::markerLine() const
{
    const std::string topicId = m_topic.fieldByName("TOPIC_ID").asString();
    const std::string link = "<a href=" + m_linkBase + "link.asp?topic_id=" + topicId;
    std::string line;
    if (m_topic.fieldByName("T_GOOD").asString() == "Y")
        line += B5("<font size=2 color=blue>黃金文章</font>　");
    if (!withoutBlanksAndControls(m_topic.fieldByName("T_FILENAME").asString()).empty()) {
        line += link + B5("><font size=2 color=blue>檔案下載(") + m_topic.fieldByName("T_FILESIZE").asString() +
                " Bytes)</font></a>";
    } else {
        line += link + B5("><font size=2 color=blue>原始網址:") + m_shownBase + "topic.asp?topic_Id=" + topicId +
                "</font></a>";
    }
    return line + "<br>";
}

std::string ArticlePage::forumName() const
{
    // A topic without a forum id has no forum row, and the lookup would be no statement at all.
    const Field forumId = m_topic.fieldByName("FORUM_ID");
    if (forumId.isNull())
        return {};
    Value name;
    SQLLookup("SELECT F_SUBJECT FROM FORUM_FORUM WHERE FORUM_ID=" + forumId.asString(), name, false,
              m_topic.connection());
    return name.toText();
}

std::string ArticlePage::postRows()
{
    std::string rows;
    rows.append(kFirstRowStart).append(m_topic.fieldByName("M_NAME").asString()).append(kNameEnd);
    rows.append(FormatForumDateBreak(m_topic.fieldByName("T_DATE").asString())).append(kFirstRowMiddle);
    rows.append(ConvertMessageMarkup(Big5Text(m_topic.fieldByName("T_MESSAGE").asString()),
                                     codeSystemOf(m_topic.fieldByName("T_CODESYSTEM")), m_linkBase)
                    .bytes());
    rows.append(kFirstRowEnd);

    const Field message = m_reply.field(0);
    const Field name = m_reply.fieldByName("M_NAME");
    const Field date = m_reply.fieldByName("R_DATE");
    const Field codeSystem = m_reply.fieldByName("R_CODESYSTEM");
    for (; !m_reply.eof(); m_reply.next()) {
        rows.append(kReplyRowStart).append(name.asString()).append(kNameEnd);
        rows.append(FormatForumDateBreak(date.asString())).append(kReplyRowMiddle);
        rows.append(ConvertMessageMarkup(Big5Text(message.asString()), codeSystemOf(codeSystem), m_linkBase).bytes());
        rows.append(kReplyRowEnd);
    }
    return rows;
}

} // namespace velm
