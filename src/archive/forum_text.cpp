#include "archive/forum_text.h"

#include "archive/database.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/error.h"
#include "codeconv/gbbig.h"

namespace velm {
namespace {

std::string piece(const std::string &stamp, size_t from, size_t count)
{
    return from < stamp.size() ? stamp.substr(from, count) : std::string();
}

std::string formatStamp(const std::string &stamp, const char *between)
{
    return piece(stamp, 0, 4) + "/" + piece(stamp, 4, 2) + "/" + piece(stamp, 6, 2) + between + piece(stamp, 8, 2) +
           ":" + piece(stamp, 10, 2) + ":" + piece(stamp, 12, 2);
}

std::string trimmedBlanks(const std::string &text)
{
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

} // namespace

std::string FormatForumDate(const std::string &stamp)
{
    return formatStamp(stamp, " ");
}

std::string FormatForumDateBreak(const std::string &stamp)
{
    return formatStamp(stamp, "<br>");
}

bool isGBCoded(const Value &codeSystem)
{
    return !codeSystem.isNull() && !codeSystem.isEmpty() && codeSystem.toInt() == 1;
}

std::string SubjectText(const std::string &subject, const Value &codeSystem)
{
    return isGBCoded(codeSystem) ? GBToBig5(subject) : subject;
}

namespace {

// Enough for the authors of a long list (a few megabytes at most), and never the whole of a large
// member table.
constexpr std::size_t kCachedNames = 65536;

} // namespace

MemberNames::MemberNames() = default;
MemberNames::~MemberNames() = default;

void MemberNames::open(Connection *connection)
{
    if (m_open)
        return;
    m_connection = connection ? connection : DefaultConnection();
    if (!m_connection)
        raiseUtf8("無Connetion 元件");
    m_open = true;
}

void MemberNames::close()
{
    m_names.clear();
    m_lookup.reset();
    m_db = nullptr;
    m_connection = nullptr;
    m_open = false;
}

const std::string *MemberNames::find(std::int64_t memberId)
{
    if (!m_open)
        open();
    auto it = m_names.find(memberId);
    if (it == m_names.end()) {
        // One statement, prepared again only when the connection was opened anew.
        if (!m_lookup || m_db != m_connection->handle()) {
            m_lookup =
                m_connection->prepare("select M_NAME from FORUM_MEMBERS where MEMBER_ID=?1 order by rowid limit 1");
            m_db = m_connection->handle();
        }
        if (m_names.size() >= kCachedNames)
            m_names.clear();
        sqlite3_stmt *lookup = m_lookup.get();
        sqlite3_bind_int64(lookup, 1, memberId);
        std::optional<std::string> name;
        const int rc = sqlite3_step(lookup);
        if (rc == SQLITE_ROW)
            name = toCp950(sqlite::columnText(lookup, 0));
        sqlite3_reset(lookup);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            m_connection->raiseLastError();
        it = m_names.emplace(memberId, std::move(name)).first;
    }
    return it->second ? &*it->second : nullptr;
}

std::string AuthorText(const Value &author, MemberNames &members, Connection *connection)
{
    const std::string id = trimmedBlanks(author.toText());
    if (id.empty())
        return {};
    members.open(connection);
    if (const std::string *name = members.find(author.toInt()))
        return *name;
    return id;
}

std::string DateCellText(const std::string &stamp)
{
    // A topic without a date shows an empty cell, not the separators alone.
    if (trimmedBlanks(stamp).empty())
        return {};
    return FormatForumDate(stamp).substr(0, 10);
}

TopicCells CurrentTopicCells(const Query &query, MemberNames &members, Connection *connection)
{
    TopicCells cells;
    cells.topicId = query.fieldByName("TOPIC_ID").asInteger();
    cells.subject = SubjectText(query.fieldByName("T_SUBJECT").asString(), query.fieldByName("T_CODESYSTEM").value());
    cells.date = DateCellText(query.fieldByName("T_DATE").asString());
    cells.author = AuthorText(query.fieldByName("T_AUTHOR").value(), members, connection);
    cells.replies = query.fieldByName("T_REPLIES").asString();
    cells.lastPost = DateCellText(query.fieldByName("T_LAST_POST").asString());
    cells.good = query.fieldByName("T_GOOD").asString();
    return cells;
}

} // namespace velm
