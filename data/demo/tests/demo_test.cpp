// The demo archive is the first thing a user sees: it must hold together the way a real archive does.
#include "base/cp950.h"
#include "demo_handles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using demo::ConverterPtr;
using demo::DatabasePtr;
using demo::StatementPtr;

using Row = std::vector<std::optional<std::string>>;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "velm-demo-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("no temporary folder");
        m_path = pattern;
    }
    ~TempDir() { fs::remove_all(m_path); }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const fs::path &path() const { return m_path; }

private:
    fs::path m_path;
};

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

struct ToolRun {
    int exitCode = -1;
    std::string errors;
};

// Runs velm-make-demo with its error output caught in a file beside the archive.
ToolRun runTool(const fs::path &folder, const std::vector<std::string> &args)
{
    const fs::path errFile = folder / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all{VELM_MAKE_DEMO};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ToolRun run;
    if (posix_spawn(&pid, VELM_MAKE_DEMO, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.errors = readFile(errFile);
    return run;
}

const fs::path kSources = VELM_DEMO_SOURCES;

std::vector<Row> query(sqlite3 *db, const std::string &sql)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(sql + ": " + sqlite3_errmsg(db));
    StatementPtr stmt(raw);
    std::vector<Row> rows;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), i));
            if (text)
                row.emplace_back(std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt.get(), i))));
            else
                row.emplace_back(std::nullopt);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

long long number(sqlite3 *db, const std::string &sql)
{
    const auto rows = query(db, sql);
    return rows.empty() || !rows[0][0] ? -1 : std::stoll(*rows[0][0]);
}

// Strict GBK: a byte pair that means nothing in GBK is an error, not a replacement character.
std::optional<std::string> gbkToUtf8(const std::string &bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr gbk(ucnv_open("GBK", &status));
    ucnv_setToUCallBack(gbk.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::u16string wide(bytes.size() + 1, u'\0');
    const int32_t length =
        ucnv_toUChars(gbk.get(), reinterpret_cast<UChar *>(wide.data()), static_cast<int32_t>(wide.size()),
                      bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    std::string utf8(static_cast<size_t>(length) * 3 + 1, '\0');
    int32_t utf8Length = 0;
    u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &utf8Length,
                reinterpret_cast<const UChar *>(wide.data()), length, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    utf8.resize(static_cast<size_t>(utf8Length));
    return utf8;
}

// The readable texts written as gb('...') in the SQL, outside comments and other literals.
std::vector<std::string> gbLiterals(const std::string &sql)
{
    std::vector<std::string> found;
    auto readLiteral = [&](size_t &i) {
        std::string text;
        for (++i; i < sql.size(); ++i) {
            if (sql[i] == '\'') {
                if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                    text += '\'';
                    ++i;
                    continue;
                }
                break;
            }
            text += sql[i];
        }
        return text;
    };
    for (size_t i = 0; i < sql.size(); ++i) {
        if (sql.compare(i, 2, "--") == 0) {
            i = sql.find('\n', i);
            if (i == std::string::npos)
                break;
        } else if (sql[i] == '\'') {
            readLiteral(i);
        } else if (sql.compare(i, 4, "gb('") == 0 &&
                   (i == 0 || !std::isalnum(static_cast<unsigned char>(sql[i - 1])))) {
            i += 3;
            found.push_back(readLiteral(i));
        }
    }
    return found;
}

std::string withCrLf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n' && (out.empty() || out.back() != '\r'))
            out += '\r';
        out += c;
    }
    return out;
}

bool isTimeStamp(const std::optional<std::string> &text)
{
    static const std::regex stamp("(19|20)[0-9]{2}(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01])"
                                  "([01][0-9]|2[0-3])[0-5][0-9][0-5][0-9]");
    return text && std::regex_match(*text, stamp);
}

TEST(DemoTool, FailedBuildNamesThePlaceAndLeavesNoArchive)
{
    struct Case {
        const char *name;
        std::string sql;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"unknown table", "INSERT INTO FORUM_MEMBERS (MEMBER_ID) VALUES (1);\n\n-- next\nINSERT INTO NOPE VALUES (1);",
         "bad.sql:4:"},
        {"syntax error", "INSERT INTO FORUM_MEMBERS (MEMBER_ID) VALUES (1);\nINSERT INTO FORUM_MEMBERS VALUE (2);",
         "bad.sql:2:"},
        {"not in GBK", "INSERT INTO FORUM_REPLY (R_MESSAGE) VALUES (gb('表情😀'));", "U+1F600"},
        // GBK B0 80: a trail byte that code page 950 does not have, so the stored text would lose it.
        {"lost through code page 950", "INSERT INTO FORUM_REPLY (R_MESSAGE) VALUES (gb('皜'));", "U+769C"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path out = dir.path() / "velm.sqlite";
        writeFile(dir.path() / "bad.sql", c.sql);
        writeFile(out, "an archive of an earlier build");
        const ToolRun run =
            runTool(dir.path(), {out.string(), (kSources / "schema.sql").string(), (dir.path() / "bad.sql").string()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.errors.find(c.expected), std::string::npos) << run.errors;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_FALSE(fs::exists(out.string() + ".tmp"));
    }
}

class DemoArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<TempDir>();
        const fs::path out = s_dir->path() / "velm.sqlite";
        const ToolRun run = runTool(
            s_dir->path(), {out.string(), (kSources / "schema.sql").string(), (kSources / "demo.sql").string()});
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        sqlite3 *raw = nullptr;
        sqlite3_open_v2(out.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        s_db.reset(raw);
    }
    static void TearDownTestSuite()
    {
        s_db.reset();
        s_dir.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_db) << "the demo archive was not built"; }

    static sqlite3 *db() { return s_db.get(); }
    static std::vector<Row> rows(const std::string &sql) { return query(db(), sql); }
    static long long value(const std::string &sql) { return number(db(), sql); }

    static inline std::unique_ptr<TempDir> s_dir;
    static inline DatabasePtr s_db;
};

TEST_F(DemoArchive, FileIsReadyForTheReader)
{
    EXPECT_FALSE(fs::exists(s_dir->path() / "velm.sqlite.tmp"));
    EXPECT_EQ(rows("PRAGMA journal_mode")[0][0], "delete"); // the reader switches to WAL itself
    const std::map<std::string, std::string> indexes = {
        {"IX_TOPICS_FORUM", "FORUM_TOPICS:FORUM_ID,T_LAST_POST"},   {"IX_REPLY_DATE", "FORUM_REPLY:TOPIC_ID,R_DATE"},
        {"IX_REPLY_ID", "FORUM_REPLY:TOPIC_ID,REPLY_ID"},           {"IX_MEMBERS_ID", "FORUM_MEMBERS:MEMBER_ID"},
        {"IX_CATEGORY_PARENT", "FORUM_CATEGORY:CAT_PID,CAT_ORDER"}, {"IX_FORUM_CAT", "FORUM_FORUM:CAT_ID,FORUM_ID"},
    };
    for (const auto &[name, shape] : indexes) {
        const auto found = rows("SELECT tbl_name || ':' || (SELECT group_concat(name) FROM (SELECT name FROM "
                                "pragma_index_info('" +
                                name +
                                "') ORDER BY seqno)) FROM sqlite_master "
                                "WHERE type = 'index' AND name = '" +
                                name + "'");
        ASSERT_EQ(found.size(), 1u) << name;
        EXPECT_EQ(found[0][0], shape);
    }
    EXPECT_EQ(value("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql LIKE '%UNIQUE%'"), 0);
}

TEST_F(DemoArchive, ForumTreeHoldsTogether)
{
    EXPECT_GE(value("SELECT count(*) FROM FORUM_CATEGORY WHERE CAT_PID = 0"), 5);
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_CATEGORY c WHERE CAT_PID = 0 AND NOT EXISTS "
                    "(SELECT 1 FROM FORUM_CATEGORY s WHERE s.CAT_PID = c.CAT_ID)"),
              0)
        << "a top category is bare";
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_CATEGORY c WHERE CAT_PID <> 0 AND NOT EXISTS "
                    "(SELECT 1 FROM FORUM_CATEGORY p WHERE p.CAT_ID = c.CAT_PID)"),
              0)
        << "a parent is missing";
    EXPECT_EQ(value("SELECT count(*) - count(DISTINCT CAT_ID) FROM FORUM_CATEGORY"), 0);
    EXPECT_EQ(value("SELECT count(*) - count(DISTINCT CAT_PID || ':' || CAT_ORDER) FROM FORUM_CATEGORY"), 0)
        << "siblings share a CAT_ORDER";
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_CATEGORY WHERE CAT_KIND NOT BETWEEN 1 AND 9"), 0);

    // Every category reaches a top category, and the advanced search finds a branch by the top's kind.
    const auto categories = rows("SELECT CAT_ID, CAT_PID, CAT_KIND FROM FORUM_CATEGORY");
    std::map<std::string, std::pair<std::string, std::string>> parentAndKind;
    for (const Row &c : categories)
        parentAndKind[*c[0]] = {*c[1], *c[2]};
    for (const Row &c : categories) {
        std::string id = *c[0];
        for (int depth = 0; parentAndKind[id].first != "0"; ++depth) {
            ASSERT_LT(depth, 10) << "category " << *c[0] << " is in a cycle";
            id = parentAndKind[id].first;
        }
        EXPECT_EQ(*c[2], parentAndKind[id].second) << "category " << *c[0];
    }

    EXPECT_GE(value("SELECT count(*) FROM FORUM_FORUM"), 12);
    EXPECT_GE(value("SELECT count(*) FROM FORUM_FORUM WHERE F_DESCRIPTION <> ''"), 1);
    EXPECT_EQ(value("SELECT count(*) - count(DISTINCT FORUM_ID) FROM FORUM_FORUM"), 0);
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_FORUM f WHERE NOT EXISTS "
                    "(SELECT 1 FROM FORUM_CATEGORY c WHERE c.CAT_ID = f.CAT_ID)"),
              0)
        << "a forum hangs nowhere";
}

TEST_F(DemoArchive, TopicsRepliesAndMembersAgree)
{
    EXPECT_GE(value("SELECT count(*) FROM FORUM_TOPICS"), 60);
    EXPECT_GE(value("SELECT count(*) FROM FORUM_REPLY"), 200);
    EXPECT_EQ(value("SELECT count(*) - count(DISTINCT TOPIC_ID) FROM FORUM_TOPICS"), 0);
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_TOPICS t WHERE NOT EXISTS (SELECT 1 FROM FORUM_FORUM f "
                    "WHERE f.FORUM_ID = t.FORUM_ID AND f.CAT_ID = t.CAT_ID)"),
              0)
        << "forum or category is off";
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_REPLY r WHERE NOT EXISTS "
                    "(SELECT 1 FROM FORUM_TOPICS t WHERE t.TOPIC_ID = r.TOPIC_ID)"),
              0);

    // Lists sort on T_LAST_POST and show T_REPLIES: both must say what the replies say.
    const auto topics = rows("SELECT t.TOPIC_ID, T_DATE, T_LAST_POST, T_REPLIES, count(r.REPLY_ID), max(R_DATE), "
                             "min(R_DATE), min(REPLY_ID), max(REPLY_ID), count(DISTINCT REPLY_ID) "
                             "FROM FORUM_TOPICS t LEFT JOIN FORUM_REPLY r ON r.TOPIC_ID = t.TOPIC_ID "
                             "GROUP BY t.TOPIC_ID");
    for (const Row &t : topics) {
        SCOPED_TRACE("topic " + *t[0]);
        EXPECT_TRUE(isTimeStamp(t[1]) && isTimeStamp(t[2]));
        EXPECT_EQ(t[3], t[4]) << "T_REPLIES";
        EXPECT_EQ(t[2], *t[4] == "0" ? t[1] : t[5]) << "T_LAST_POST";
        EXPECT_GE(*t[2], *t[1]);
        if (*t[4] != "0") {
            EXPECT_GT(*t[6], *t[1]) << "a reply predates its topic";
            EXPECT_EQ(*t[7], "1");
            EXPECT_EQ(*t[8], *t[4]) << "REPLY_ID runs 1..n";
            EXPECT_EQ(*t[9], *t[4]);
        }
    }
    for (const Row &r : rows("SELECT R_DATE FROM FORUM_REPLY"))
        EXPECT_TRUE(isTimeStamp(r[0])) << r[0].value_or("NULL");
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_REPLY a JOIN FORUM_REPLY b ON a.TOPIC_ID = b.TOPIC_ID "
                    "AND a.REPLY_ID < b.REPLY_ID AND a.R_DATE >= b.R_DATE"),
              0)
        << "reply ids against dates";

    EXPECT_EQ(value("SELECT count(*) FROM FORUM_TOPICS WHERE T_AUTHOR NOT IN (SELECT MEMBER_ID FROM FORUM_MEMBERS)"),
              0);
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_REPLY WHERE R_AUTHOR NOT IN (SELECT MEMBER_ID FROM FORUM_MEMBERS)"), 0);
    EXPECT_EQ(value("SELECT count(*) - count(DISTINCT MEMBER_ID) FROM FORUM_MEMBERS"), 0);
    const auto members = rows("SELECT MEMBER_ID, M_JOINED, M_POSTS, (SELECT min(d) FROM (SELECT T_DATE d FROM "
                              "FORUM_TOPICS WHERE T_AUTHOR = MEMBER_ID UNION ALL SELECT R_DATE FROM FORUM_REPLY WHERE "
                              "R_AUTHOR = MEMBER_ID)), (SELECT count(*) FROM FORUM_TOPICS WHERE T_AUTHOR = MEMBER_ID) "
                              "+ (SELECT count(*) FROM FORUM_REPLY WHERE R_AUTHOR = MEMBER_ID), M_EMAIL "
                              "FROM FORUM_MEMBERS");
    EXPECT_GE(members.size(), 5u);
    static const std::regex joined("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    for (const Row &m : members) {
        SCOPED_TRACE("member " + *m[0]);
        ASSERT_TRUE(m[1] && std::regex_match(*m[1], joined));
        std::string stamp = *m[1];
        std::erase_if(stamp, [](char c) { return c < '0' || c > '9'; });
        if (m[3]) {
            EXPECT_LT(stamp, *m[3]) << "posted before joining";
        }
        EXPECT_GE(std::stoll(m[2].value_or("0")), std::stoll(*m[4])) << "M_POSTS below the archive's posts";
        EXPECT_NE(m[5].value_or("").find('@'), std::string::npos);
    }

    EXPECT_EQ(value("SELECT count(*) FROM FORUM_TOPICS WHERE T_GOOD NOT IN ('Y', 'N')"), 0);
    EXPECT_GE(value("SELECT count(*) FROM FORUM_TOPICS WHERE T_GOOD = 'Y'"), 3);
    EXPECT_GE(value("SELECT count(*) FROM FORUM_TOPICS WHERE T_FILENAME <> ''"), 2);
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_TOPICS WHERE T_FILENAME <> '' AND NOT T_FILESIZE > 0"), 0);
    EXPECT_GE(value("SELECT count(*) FROM UPDATELOG"), 2);
}

TEST_F(DemoArchive, TextsAreBig5OrStoredGb)
{
    // Big5 text must come back from code page 950 unchanged, or the reader shows question marks.
    const char *big5Texts[] = {
        "SELECT M_NAME FROM FORUM_MEMBERS",
        "SELECT CAT_NAME FROM FORUM_CATEGORY",
        "SELECT F_SUBJECT FROM FORUM_FORUM",
        "SELECT F_DESCRIPTION FROM FORUM_FORUM WHERE F_DESCRIPTION IS NOT NULL",
        "SELECT UPD_TITLE FROM UPDATELOG",
        "SELECT T_SUBJECT FROM FORUM_TOPICS WHERE T_CODESYSTEM IS NOT 1",
        "SELECT T_MESSAGE FROM FORUM_TOPICS WHERE T_CODESYSTEM IS NOT 1",
        "SELECT R_MESSAGE FROM FORUM_REPLY WHERE R_CODESYSTEM IS NOT 1",
    };
    for (const char *sql : big5Texts)
        for (const Row &r : rows(sql))
            EXPECT_EQ(velm::fromCp950(velm::toCp950(*r[0])), *r[0]) << sql;
    EXPECT_EQ(value("SELECT count(*) FROM FORUM_TOPICS WHERE length(T_SUBJECT) > 100 OR T_SUBJECT = ''"), 0);

    // GB posts hold GBK bytes read as code page 950; written back they must decode to the readable source.
    std::set<std::string> sources;
    const auto literals = gbLiterals(readFile(kSources / "demo.sql"));
    for (const std::string &text : literals) {
        sources.insert(text);
        sources.insert(withCrLf(text));
    }
    const auto gbTexts = rows("SELECT T_SUBJECT FROM FORUM_TOPICS WHERE T_CODESYSTEM = 1 UNION ALL "
                              "SELECT T_MESSAGE FROM FORUM_TOPICS WHERE T_CODESYSTEM = 1 UNION ALL "
                              "SELECT R_MESSAGE FROM FORUM_REPLY WHERE R_CODESYSTEM = 1");
    EXPECT_GE(value("SELECT count(*) FROM FORUM_TOPICS WHERE T_CODESYSTEM = 1"), 3);
    EXPECT_GE(value("SELECT count(*) FROM FORUM_REPLY WHERE R_CODESYSTEM = 1"), 5);
    EXPECT_EQ(gbTexts.size(), literals.size()) << "a gb() text sits where no GB post is, or the other way round";
    for (const Row &r : gbTexts) {
        const std::string gbk = velm::toCp950(*r[0]);
        EXPECT_EQ(velm::fromCp950(gbk), *r[0]);
        const auto readable = gbkToUtf8(gbk);
        ASSERT_TRUE(readable) << *r[0];
        EXPECT_NE(*readable, *r[0]);
        EXPECT_TRUE(sources.count(*readable)) << *readable;
    }

    // The forum stored CR LF; a lone LF would show up as a missing line break.
    for (const Row &r : rows("SELECT T_MESSAGE FROM FORUM_TOPICS UNION ALL SELECT R_MESSAGE FROM FORUM_REPLY"))
        EXPECT_EQ(withCrLf(*r[0]), *r[0]);
    EXPECT_GE(value("SELECT count(*) FROM FORUM_REPLY WHERE instr(R_MESSAGE, char(13, 10)) > 0"), 50);
}

TEST_F(DemoArchive, MarkupAndTopicLinksLeadSomewhere)
{
    const std::string posts = "SELECT T_MESSAGE FROM FORUM_TOPICS UNION ALL SELECT R_MESSAGE FROM FORUM_REPLY";
    for (const char *markup : {"[url=", "[url]", "[/url]", "<img src=icon_", "http://"})
        EXPECT_GE(value("SELECT count(*) FROM (" + posts + ") WHERE instr(T_MESSAGE, '" + markup + "') > 0"), 2)
            << markup;

    // Both the topic page and the download page address a topic by number; a dead number is a broken demo.
    static const std::regex link("(topic|link)\\.asp\\?topic_id=([0-9]+)", std::regex::icase);
    int links = 0;
    for (const Row &r : rows(posts)) {
        for (auto it = std::sregex_iterator(r[0]->begin(), r[0]->end(), link); it != std::sregex_iterator(); ++it) {
            ++links;
            EXPECT_EQ(value("SELECT count(*) FROM FORUM_TOPICS WHERE TOPIC_ID = " + (*it)[2].str()), 1)
                << (*it)[0].str();
        }
    }
    EXPECT_GE(links, 5);
}

} // namespace
