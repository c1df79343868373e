#include "textindex/text_index.h"

#include "sqlite/sqlite_db.h"

#include <sqlite3.h>

#include <array>
#include <limits>
#include <utility>

namespace velm::textindex {
namespace {

using sqlite::StatementPtr;

// Raised when the tables, triggers or tokens change meaning: an index of another form is built again.
constexpr int kForm = 1;

// The build's place is the next rowid of each table to index, null once that table is in. COMPLETE is
// kComplete once every row is in, kMerged once the index has its smallest form too.
constexpr int kComplete = 1;
constexpr int kMerged = 2;
// Pages of merged index a build step writes at most.
constexpr int kMergePages = 2000;

constexpr const char *kCreateTables[] = {
    "CREATE TABLE VELM_INDEX (FORM INTEGER, TOPICS_FROM INTEGER, REPLIES_FROM INTEGER, ROWS_DONE INTEGER, "
    "COMPLETE INTEGER)",
    // TBL 0 for a topic, 1 for a reply; GONE 1 for a row's texts that went, with those texts.
    "CREATE TABLE VELM_INDEX_LOG (TBL INTEGER, RID INTEGER, GONE INTEGER, OLD_SUBJECT, OLD_MESSAGE)",
    "CREATE VIRTUAL TABLE VELM_INDEX_SUBJECT USING fts5(T, content='', detail=none, columnsize=0, "
    "tokenize='velm subject')",
    "CREATE VIRTUAL TABLE VELM_INDEX_TOPIC USING fts5(M, content='', detail=none, columnsize=0, tokenize='velm')",
    "CREATE VIRTUAL TABLE VELM_INDEX_REPLY USING fts5(M, content='', detail=none, columnsize=0, tokenize='velm')",
};

// Only rows the build has passed are logged: the build reads the others as they are when it gets there.
constexpr std::array<const char *, 6> kTriggers = {
    "CREATE TRIGGER VELM_INDEX_TOPIC_INSERT AFTER INSERT ON FORUM_TOPICS BEGIN "
    "INSERT INTO VELM_INDEX_LOG SELECT 0, new.rowid, 0, NULL, NULL FROM VELM_INDEX "
    "WHERE ifnull(new.rowid < TOPICS_FROM, 1); END",
    "CREATE TRIGGER VELM_INDEX_TOPIC_DELETE AFTER DELETE ON FORUM_TOPICS BEGIN "
    "INSERT INTO VELM_INDEX_LOG SELECT 0, old.rowid, 1, old.T_SUBJECT, old.T_MESSAGE FROM VELM_INDEX "
    "WHERE ifnull(old.rowid < TOPICS_FROM, 1); END",
    "CREATE TRIGGER VELM_INDEX_TOPIC_UPDATE AFTER UPDATE ON FORUM_TOPICS WHEN old.rowid IS NOT new.rowid OR "
    "old.T_SUBJECT IS NOT new.T_SUBJECT COLLATE BINARY OR old.T_MESSAGE IS NOT new.T_MESSAGE COLLATE BINARY BEGIN "
    "INSERT INTO VELM_INDEX_LOG SELECT 0, old.rowid, 1, old.T_SUBJECT, old.T_MESSAGE FROM VELM_INDEX "
    "WHERE ifnull(old.rowid < TOPICS_FROM, 1); "
    "INSERT INTO VELM_INDEX_LOG SELECT 0, new.rowid, 0, NULL, NULL FROM VELM_INDEX "
    "WHERE ifnull(new.rowid < TOPICS_FROM, 1); END",
    "CREATE TRIGGER VELM_INDEX_REPLY_INSERT AFTER INSERT ON FORUM_REPLY BEGIN "
    "INSERT INTO VELM_INDEX_LOG SELECT 1, new.rowid, 0, NULL, NULL FROM VELM_INDEX "
    "WHERE ifnull(new.rowid < REPLIES_FROM, 1); END",
    "CREATE TRIGGER VELM_INDEX_REPLY_DELETE AFTER DELETE ON FORUM_REPLY BEGIN "
    "INSERT INTO VELM_INDEX_LOG SELECT 1, old.rowid, 1, NULL, old.R_MESSAGE FROM VELM_INDEX "
    "WHERE ifnull(old.rowid < REPLIES_FROM, 1); END",
    "CREATE TRIGGER VELM_INDEX_REPLY_UPDATE AFTER UPDATE ON FORUM_REPLY WHEN old.rowid IS NOT new.rowid OR "
    "old.R_MESSAGE IS NOT new.R_MESSAGE COLLATE BINARY BEGIN "
    "INSERT INTO VELM_INDEX_LOG SELECT 1, old.rowid, 1, NULL, old.R_MESSAGE FROM VELM_INDEX "
    "WHERE ifnull(old.rowid < REPLIES_FROM, 1); "
    "INSERT INTO VELM_INDEX_LOG SELECT 1, new.rowid, 0, NULL, NULL FROM VELM_INDEX "
    "WHERE ifnull(new.rowid < REPLIES_FROM, 1); END",
};
constexpr const char *kTriggerNames = "('VELM_INDEX_TOPIC_INSERT','VELM_INDEX_TOPIC_DELETE','VELM_INDEX_TOPIC_UPDATE',"
                                      "'VELM_INDEX_REPLY_INSERT','VELM_INDEX_REPLY_DELETE','VELM_INDEX_REPLY_UPDATE')";

struct Source {
    Text text;
    const char *index;   // the index table
    const char *column;  // its one column
    const char *table;   // the forum table it reads
    const char *content; // the forum column it reads
    int log;             // TBL in the log
    const char *old;     // the log column holding the text that went
};
constexpr Source kSources[] = {
    {Text::Subject, "VELM_INDEX_SUBJECT", "T", "FORUM_TOPICS", "T_SUBJECT", 0, "OLD_SUBJECT"},
    {Text::TopicMessage, "VELM_INDEX_TOPIC", "M", "FORUM_TOPICS", "T_MESSAGE", 0, "OLD_MESSAGE"},
    {Text::ReplyMessage, "VELM_INDEX_REPLY", "M", "FORUM_REPLY", "R_MESSAGE", 1, "OLD_MESSAGE"},
};

const Source &sourceOf(Text text)
{
    for (const Source &source : kSources)
        if (source.text == text)
            return source;
    return kSources[0];
}

std::string str(const char *text)
{
    return text;
}

void bindNullable(sqlite3_stmt *statement, int index, std::optional<std::int64_t> value)
{
    if (value)
        sqlite3_bind_int64(statement, index, *value);
    else
        sqlite3_bind_null(statement, index);
}

void step(sqlite3 *db, sqlite3_stmt *statement)
{
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        sqlite::raise(db);
}

std::int64_t scalar(sqlite3 *db, const std::string &sql)
{
    const StatementPtr statement = sqlite::prepare(db, sql);
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_ROW)
        return sqlite3_column_int64(statement.get(), 0);
    if (rc != SQLITE_DONE)
        sqlite::raise(db);
    return 0;
}

int columnsPresent(sqlite3 *db, const char *table, const char *columns)
{
    return static_cast<int>(scalar(db, str("SELECT count(*) FROM pragma_table_info('") + table +
                                           "') WHERE name COLLATE NOCASE IN " + columns));
}

struct Place {
    int form = 0;
    std::optional<std::int64_t> topicsFrom, repliesFrom;
    std::int64_t rowsDone = 0;
    bool complete = false;
    bool merged = false;
};

std::optional<std::int64_t> nullableColumn(sqlite3_stmt *statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_int64(statement, column);
}

std::optional<Place> readPlace(sqlite3 *db)
{
    if (!sqlite::tableExists(db, "VELM_INDEX"))
        return std::nullopt;
    const StatementPtr statement =
        sqlite::prepare(db, "SELECT FORM, TOPICS_FROM, REPLIES_FROM, ROWS_DONE, COMPLETE FROM VELM_INDEX");
    if (sqlite3_step(statement.get()) != SQLITE_ROW)
        return Place{};
    const int complete = sqlite3_column_int(statement.get(), 4);
    return Place{sqlite3_column_int(statement.get(), 0),       nullableColumn(statement.get(), 1),
                 nullableColumn(statement.get(), 2),           sqlite3_column_int64(statement.get(), 3),
                 complete == kComplete || complete == kMerged, complete == kMerged};
}

bool intact(sqlite3 *db, const Place &place)
{
    return place.form == kForm &&
           scalar(db, str("SELECT count(*) FROM sqlite_master WHERE type='trigger' AND name IN ") + kTriggerNames) ==
               static_cast<std::int64_t>(kTriggers.size()) &&
           scalar(db, "SELECT count(*) FROM sqlite_master WHERE name IN "
                      "('VELM_INDEX_LOG','VELM_INDEX_SUBJECT','VELM_INDEX_TOPIC','VELM_INDEX_REPLY')") == 4;
}

void dropParts(sqlite3 *db)
{
    const StatementPtr list = sqlite::prepare(
        db, str("SELECT type, name FROM sqlite_master WHERE (type='trigger' AND name IN ") + kTriggerNames +
                ") OR (type='table' AND name IN ('VELM_INDEX','VELM_INDEX_LOG','VELM_INDEX_SUBJECT',"
                "'VELM_INDEX_TOPIC','VELM_INDEX_REPLY'))");
    std::vector<std::pair<std::string, std::string>> parts;
    while (sqlite3_step(list.get()) == SQLITE_ROW)
        parts.emplace_back(sqlite::columnText(list.get(), 0), sqlite::columnText(list.get(), 1));
    for (const auto &[type, name] : parts)
        sqlite::execute(db, (type == "trigger" ? "DROP TRIGGER IF EXISTS " : "DROP TABLE IF EXISTS ") +
                                sqlite::quoteIdentifier(name));
}

// Adds the rows of one forum table from `from` on, at most `rows` of them; returns the next place (null
// when the table is done) and counts the rows added.
std::optional<std::int64_t> buildRows(sqlite3 *db, const char *table, std::int64_t from, int rows, std::int64_t &added)
{
    const StatementPtr last = sqlite::prepare(db, str("SELECT count(*), max(r) FROM (SELECT rowid AS r FROM ") + table +
                                                      " WHERE rowid >= ?1 ORDER BY rowid LIMIT ?2)");
    sqlite3_bind_int64(last.get(), 1, from);
    sqlite3_bind_int(last.get(), 2, rows);
    step(db, last.get());
    added = sqlite3_column_int64(last.get(), 0);
    if (added == 0)
        return std::nullopt;
    const std::int64_t to = sqlite3_column_int64(last.get(), 1);
    for (const Source &source : kSources) {
        if (str(source.table) != table)
            continue;
        const StatementPtr insert =
            sqlite::prepare(db, str("INSERT INTO ") + source.index + "(rowid, " + source.column + ") SELECT rowid, " +
                                    source.content + " FROM " + table + " WHERE rowid BETWEEN ?1 AND ?2");
        sqlite3_bind_int64(insert.get(), 1, from);
        sqlite3_bind_int64(insert.get(), 2, to);
        step(db, insert.get());
    }
    if (added < rows || to == std::numeric_limits<std::int64_t>::max())
        return std::nullopt;
    return to + 1;
}

std::string hexLiteral(const std::string &bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "CAST(X'";
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out + "' AS TEXT)";
}

// Each token a phrase of its own, joined by AND; a word without tokens gives empty text.
std::string allTokens(const std::string &word, TokenSet set)
{
    std::string expression;
    for (const std::string &token : keywordTokens(word, set))
        expression += (expression.empty() ? "\"" : " AND \"") + token + "\"";
    return expression;
}

} // namespace

bool indexable(sqlite3 *db)
{
    return columnsPresent(db, "FORUM_TOPICS", "('TOPIC_ID','T_SUBJECT','T_MESSAGE')") == 3 &&
           columnsPresent(db, "FORUM_REPLY", "('TOPIC_ID','R_MESSAGE')") == 2;
}

Status status(sqlite3 *db)
{
    Status result;
    const std::optional<Place> place = readPlace(db);
    if (!place)
        return result;
    result.present = true;
    result.complete = place->complete && intact(db, *place);
    result.merged = result.complete && place->merged;
    result.rowsDone = place->rowsDone;
    result.rowsTotal = scalar(db, "SELECT (SELECT count(*) FROM FORUM_TOPICS) + (SELECT count(*) FROM FORUM_REPLY)");
    if (sqlite::tableExists(db, "VELM_INDEX_LOG"))
        result.pending = scalar(db, "SELECT count(*) FROM VELM_INDEX_LOG");
    return result;
}

bool usable(sqlite3 *db)
{
    const std::optional<Place> place = readPlace(db);
    if (!place || !place->complete || !intact(db, *place))
        return false;
    registerTokenizer(db);
    return true;
}

std::int64_t sizeInBytes(sqlite3 *db)
{
    try {
        return scalar(db, "SELECT ifnull(sum(pgsize), 0) FROM dbstat WHERE name LIKE 'VELM\\_INDEX%' ESCAPE '\\'");
    } catch (const sqlite::Failure &) {
        return -1; // a library without the page statistics
    }
}

void create(sqlite3 *db)
{
    registerTokenizer(db);
    sqlite::Savepoint savepoint(db, "velm_index");
    if (const std::optional<Place> place = readPlace(db); place && intact(db, *place)) {
        savepoint.release();
        return;
    }
    dropParts(db);
    for (const char *sql : kCreateTables)
        sqlite::execute(db, sql);
    const StatementPtr start = sqlite::prepare(db, "INSERT INTO VELM_INDEX VALUES (?1, ?2, ?2, 0, 0)");
    sqlite3_bind_int(start.get(), 1, kForm);
    sqlite3_bind_int64(start.get(), 2, std::numeric_limits<std::int64_t>::min());
    step(db, start.get());
    for (const char *sql : kTriggers)
        sqlite::execute(db, sql);
    savepoint.release();
}

void drop(sqlite3 *db)
{
    registerTokenizer(db);
    sqlite::Savepoint savepoint(db, "velm_index");
    dropParts(db);
    savepoint.release();
}

bool buildStep(sqlite3 *db, int rows, std::int64_t *rowsDone)
{
    registerTokenizer(db);
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Immediate);
    std::optional<Place> place = readPlace(db);
    if (!place || !intact(db, *place))
        throw sqlite::Failure("全文索引不完整，請重新建立");
    catchUp(db);
    std::int64_t added = 0;
    if (place->topicsFrom) {
        place->topicsFrom = buildRows(db, "FORUM_TOPICS", *place->topicsFrom, rows, added);
    } else if (place->repliesFrom) {
        place->repliesFrom = buildRows(db, "FORUM_REPLY", *place->repliesFrom, rows, added);
    } else if (!place->merged) {
        // Every row is in and searches may use the index; the segments the steps left are merged a few
        // pages at a time, so that no step keeps other writers waiting long.
        bool merging = false;
        for (const Source &source : kSources) {
            const std::int64_t before = sqlite3_total_changes64(db);
            // A positive amount: the negative form (merging across levels) damages tables without positions
            // in SQLite 3.40.
            sqlite::execute(db, str("INSERT INTO ") + source.index + "(" + source.index + ", rank) VALUES('merge', " +
                                    std::to_string(kMergePages) + ")");
            merging = merging || sqlite3_total_changes64(db) - before >= 2;
        }
        place->merged = !merging;
    }
    place->complete = !place->topicsFrom && !place->repliesFrom;
    const StatementPtr update = sqlite::prepare(
        db, "UPDATE VELM_INDEX SET TOPICS_FROM = ?1, REPLIES_FROM = ?2, ROWS_DONE = ROWS_DONE + ?3, COMPLETE = ?4");
    bindNullable(update.get(), 1, place->topicsFrom);
    bindNullable(update.get(), 2, place->repliesFrom);
    sqlite3_bind_int64(update.get(), 3, added);
    sqlite3_bind_int(update.get(), 4, place->merged ? kMerged : place->complete ? kComplete : 0);
    step(db, update.get());
    place->rowsDone += added;
    transaction.commit();
    if (rowsDone)
        *rowsDone = place->rowsDone;
    return place->merged;
}

void catchUp(sqlite3 *db)
{
    if (!sqlite::tableExists(db, "VELM_INDEX_LOG"))
        return;
    registerTokenizer(db);
    sqlite::Savepoint savepoint(db, "velm_index_log");
    // One statement per index table and kind: each statement that writes an index table ends a segment of
    // it, so row by row would leave a segment per row. A row's first entry tells what the index holds of
    // it: the texts that went, or nothing.
    for (const Source &source : kSources)
        sqlite::execute(
            db, str("INSERT INTO ") + source.index + "(" + source.index + ", rowid, " + source.column +
                    ") SELECT 'delete', l.RID, l." + source.old +
                    " FROM (SELECT min(rowid) AS FIRST FROM VELM_INDEX_LOG WHERE TBL = " + std::to_string(source.log) +
                    " GROUP BY RID) f JOIN VELM_INDEX_LOG l ON l.rowid = f.FIRST WHERE l.GONE = 1");
    for (const Source &source : kSources)
        sqlite::execute(
            db, str("INSERT INTO ") + source.index + "(rowid, " + source.column + ") SELECT rowid, " + source.content +
                    " FROM " + source.table +
                    " WHERE rowid IN (SELECT RID FROM VELM_INDEX_LOG WHERE TBL = " + std::to_string(source.log) + ")");
    sqlite::execute(db, "DELETE FROM VELM_INDEX_LOG");
    savepoint.release();
}

std::optional<std::string> candidateRowids(Text text, const std::vector<std::string> &wordsUtf8, bool all)
{
    const Source &source = sourceOf(text);
    const TokenSet set = text == Text::Subject ? TokenSet::Subject : TokenSet::Text;
    std::string match;
    for (const std::string &word : wordsUtf8) {
        const std::string tokens = allTokens(word, set);
        if (tokens.empty()) {
            if (!all)
                return std::nullopt;
            continue;
        }
        match += (match.empty() ? "(" : all ? " AND (" : " OR (") + tokens + ")";
    }
    if (match.empty())
        return std::nullopt;
    return str("SELECT rowid FROM ") + source.index + " WHERE " + source.index + " MATCH " + hexLiteral(match) +
           " UNION ALL SELECT RID FROM VELM_INDEX_LOG WHERE TBL=" + std::to_string(source.log);
}

} // namespace velm::textindex
