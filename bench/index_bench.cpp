// The full-text index on the large archive: its build time and size, then per keyword class the scan (the
// sqlite3 shell running the composed statement) beside the search through the index, with the rows of the
// two compared, and the import of the big package into the archive with and without the index.
// Usage: index_bench WORK-FOLDER [RUNS]; WORK-FOLDER holds x10.sqlite (bench/index_bench.sh makes it).
#include "archive/database.h"
#include "base/cp950.h"
#include "bench_package.h"
#include "search/indexed_search.h"
#include "search/quick_search.h"
#include "search/search_statement.h"
#include "textindex/text_index.h"

#include <sqlite3.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velm;
using Clock = std::chrono::steady_clock;

namespace {

int g_runs = 3;
std::string g_velm;

struct Timing {
    double wall = 1e30; // seconds
    double cpu = 0;     // user and system seconds of that run
};

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The best of the runs, in this process or (children) in the processes it starts.
Timing best(const std::function<void()> &job, bool children, int runs = g_runs)
{
    Timing fastest;
    const int who = children ? RUSAGE_CHILDREN : RUSAGE_SELF;
    for (int i = 0; i < runs; ++i) {
        const double cpu = cpuSeconds(who);
        const auto start = Clock::now();
        job();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        if (wall < fastest.wall)
            fastest = {wall, cpuSeconds(who) - cpu};
    }
    return fastest;
}

void run(const std::string &command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

std::string quotedArgument(const std::string &text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// What a statement gives, as the shell prints it in its list mode: a hash of that text and the rows.
struct Rows {
    std::uint64_t hash = 14695981039346656037ull;
    std::size_t count = 0;
    void add(const char *bytes, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 1099511628211ull;
    }
    bool operator==(const Rows &other) const { return hash == other.hash; }
};

Rows fileRows(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    Rows rows;
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        rows.add(buffer.data(), static_cast<std::size_t>(in.gcount()));
    return rows;
}

// Every field of every row read (the messages too), the first row's time noted.
Rows statementRows(Connection &archive, const std::string &sqlCp950, double *firstRow = nullptr)
{
    const auto start = Clock::now();
    const StatementPtr statement = archive.prepare(sqlCp950);
    Rows rows;
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        if (firstRow && rows.count == 0)
            *firstRow = std::chrono::duration<double>(Clock::now() - start).count();
        for (int i = 0; i < sqlite3_column_count(statement.get()); ++i) {
            if (i)
                rows.add("|", 1);
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement.get(), i));
            if (text)
                rows.add(text, static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), i)));
        }
        rows.add("\n", 1);
        ++rows.count;
    }
    return rows;
}

struct Case {
    std::string label;
    std::string keywordUtf8;
};

std::int64_t g_topics = 0;

// Topics the quick search finds, counting no further than a fifth of all.
std::int64_t topicsHolding(Connection &archive, const std::string &keywordUtf8)
{
    const std::string keyword = toCp950(keywordUtf8);
    const std::string sql = IndexedQuickSearchSql(archive.handle(), keyword).value_or(QuickSearchSql(keyword));
    const StatementPtr count =
        archive.prepare("SELECT count(*) FROM (" + sql + " LIMIT " + std::to_string(g_topics / 5 + 1) + ")");
    sqlite3_step(count.get());
    return sqlite3_column_int64(count.get(), 0);
}

// The rows the index gives for the keyword in one of its texts, counting no further than a fifth of the topics.
std::int64_t candidates(Connection &archive, textindex::Text text, const std::string &keywordUtf8)
{
    const auto rowids = textindex::candidateRowids(text, {keywordUtf8}, true);
    if (!rowids)
        return g_topics;
    const StatementPtr count =
        archive.prepare("SELECT count(*) FROM (" + *rowids + " LIMIT " + std::to_string(g_topics / 5 + 1) + ")");
    sqlite3_step(count.get());
    return sqlite3_column_int64(count.get(), 0);
}

bool isCjk(std::u32string_view::value_type c)
{
    return c >= 0x4E00 && c <= 0x9FFF;
}

std::u32string decoded(const std::string &utf8)
{
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const int size = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t value = size == 1 ? c : c & (0xFF >> (size + 1));
        for (int k = 1; k < size && i + static_cast<std::size_t>(k) < utf8.size(); ++k)
            value = (value << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        out += value;
        i += static_cast<std::size_t>(size);
    }
    return out;
}

std::string encoded(std::u32string_view text)
{
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Keywords drawn from the archive's own messages: a stretch of Chinese characters of the given length (or
// an ASCII word when length is 0), one for each share of topics found: rare, 5-10 % and nearly all.
std::vector<Case> drawn(Connection &archive, const char *shape, std::size_t length, std::mt19937 &random)
{
    const char *bands[] = {"rare (< 0.1 %)", "5-10 %", "common (> 20 %)"};
    std::vector<Case> found(3);
    for (int tries = 0;
         tries < 400 && std::any_of(found.begin(), found.end(), [](const Case &c) { return c.label.empty(); });
         ++tries) {
        const StatementPtr text = archive.prepare("SELECT R_MESSAGE FROM FORUM_REPLY WHERE rowid = " +
                                                  std::to_string(1 + random() % (g_topics * 4)));
        if (sqlite3_step(text.get()) != SQLITE_ROW || !sqlite3_column_text(text.get(), 0))
            continue;
        const std::u32string chars = decoded(reinterpret_cast<const char *>(sqlite3_column_text(text.get(), 0)));
        const std::size_t at = random() % std::max<std::size_t>(chars.size(), 1);
        std::size_t end = at;
        const auto wanted = [&](char32_t c) {
            return length ? isCjk(c) : c < 0x80 && std::isalnum(static_cast<int>(c));
        };
        while (end < chars.size() && wanted(chars[end]) && (length == 0 || end - at < length))
            ++end;
        if (end - at < (length ? length : 3) || (length == 0 && at > 0 && wanted(chars[at - 1])))
            continue;
        const std::string keyword = encoded(std::u32string_view(chars).substr(at, end - at));
        // The index's candidates tell the share roughly and at once; only a likely 5-10 % is counted.
        const std::int64_t topicRows = candidates(archive, textindex::Text::Subject, keyword) +
                                       candidates(archive, textindex::Text::TopicMessage, keyword);
        const std::int64_t replyRows = candidates(archive, textindex::Text::ReplyMessage, keyword);
        const std::int64_t estimate = topicRows + replyRows / 4;
        const auto middle = [&](std::int64_t topics) { return topics * 20 >= g_topics && topics * 10 <= g_topics; };
        const int band =
            (topicRows + replyRows) * 1000 < g_topics                                                          ? 0
            : estimate * 40 >= g_topics && estimate * 5 <= g_topics && middle(topicsHolding(archive, keyword)) ? 1
            : estimate > g_topics / 5                                                                          ? 2
                                                                                                               : -1;
        if (band >= 0 && found[static_cast<std::size_t>(band)].label.empty())
            found[static_cast<std::size_t>(band)] = {std::string(shape) + ", " + bands[band], keyword};
    }
    std::erase_if(found, [](const Case &c) { return c.label.empty(); });
    return found;
}

void quickSearchRow(Connection &archive, const fs::path &file, const Case &c)
{
    const std::string keyword = toCp950(c.keywordUtf8);
    const std::string composed = fromCp950(QuickSearchSql(keyword));
    const fs::path script = file.parent_path() / "scan.sql";
    const fs::path shellOut = file.parent_path() / "scan.out";
    std::ofstream(script, std::ios::binary) << composed << ";\n";
    const Timing scan = best(
        [&] { run("sqlite3 " + quotedArgument(file.string()) + " < " + script.string() + " > " + shellOut.string()); },
        true);
    const auto indexed = IndexedQuickSearchSql(archive.handle(), keyword);
    const std::string sql = indexed.value_or(QuickSearchSql(keyword));
    Rows rows;
    double first = 0;
    const Timing inProgram = best([&] { rows = statementRows(archive, sql, &first); }, false);
    const Timing command = best(
        [&] {
            run(g_velm + " --archive " + quotedArgument(file.string()) + " search " + quotedArgument(c.keywordUtf8) +
                " > /dev/null || test $? -eq 1");
        },
        true);
    const bool same = rows == fileRows(shellOut);
    std::printf("%-26s %-16s %7zu %9.3f %6.3f | %-5s %9.4f %9.4f %6.3f %9.3f | %6.1fx %s\n", c.label.c_str(),
                c.keywordUtf8.c_str(), rows.count, scan.wall, scan.cpu,
                indexed ? (sql.find("EXISTS") != std::string::npos ? "most" : "few") : "scan", first, inProgram.wall,
                inProgram.cpu, command.wall, scan.wall / inProgram.wall, same ? "same rows" : "ROWS DIFFER");
    fs::remove(script);
    fs::remove(shellOut);
}

void advancedSearchRow(Connection &archive, const fs::path &file, const std::string &keywordsUtf8)
{
    SearchChoices choices;
    choices.keywords = toCp950(keywordsUtf8);
    const auto categories = [&](int kind) {
        std::vector<std::int64_t> ids;
        const StatementPtr list =
            archive.prepare("select CAT_ID from FORUM_CATEGORY where CAT_KIND=" + std::to_string(kind));
        while (sqlite3_step(list.get()) == SQLITE_ROW)
            ids.push_back(sqlite3_column_int64(list.get(), 0));
        return ids;
    };
    const auto composed = ComposeSearch(choices, std::chrono::year_month_day{}, {}, categories);
    const fs::path script = file.parent_path() / "scan.sql";
    const fs::path shellOut = file.parent_path() / "scan.out";
    std::ofstream(script, std::ios::binary) << fromCp950(composed->sql()) << ";\n";
    const Timing scan = best(
        [&] { run("sqlite3 " + quotedArgument(file.string()) + " < " + script.string() + " > " + shellOut.string()); },
        true);
    const auto indexed = IndexedAdvancedSearchSql(archive.handle(), *composed);
    Rows rows;
    double first = 0;
    const Timing inProgram =
        best([&] { rows = statementRows(archive, indexed.value_or(composed->sql()), &first); }, false);
    std::printf("%-26s %-16s %7zu %9.3f %6.3f | %-5s %9.4f %9.4f %6.3f %9s | %6.1fx %s\n", "advanced, AND, one rare",
                keywordsUtf8.c_str(), rows.count, scan.wall, scan.cpu, indexed ? "few" : "scan", first, inProgram.wall,
                inProgram.cpu, "", scan.wall / inProgram.wall,
                rows == fileRows(shellOut) ? "same rows" : "ROWS DIFFER");
    fs::remove(script);
    fs::remove(shellOut);
}

double megabytes(const fs::path &file)
{
    return static_cast<double>(fs::file_size(file)) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: index_bench WORK-FOLDER [RUNS]\n");
        return 2;
    }
    const fs::path work = argv[1];
    g_runs = argc > 2 ? std::atoi(argv[2]) : 3;
    g_velm = quotedArgument((fs::absolute(argv[0]).parent_path().parent_path() / "bin" / "velm").string());
    const fs::path plain = work / "x10.sqlite", indexedFile = work / "x10-index.sqlite";
    const std::string package = bench::bigPackage();

    // The build, on a copy of the archive made for it (kept for later runs).
    if (!fs::exists(indexedFile)) {
        fs::copy_file(plain, work / "x10-index.tmp", fs::copy_options::overwrite_existing);
        fs::rename(work / "x10-index.tmp", indexedFile);
        const double before = megabytes(indexedFile);
        const Timing build = best(
            [&] { run(g_velm + " --archive " + quotedArgument(indexedFile.string()) + " index > /dev/null 2>&1"); },
            true, 1);
        run("sqlite3 " + quotedArgument(indexedFile.string()) + " 'PRAGMA wal_checkpoint(TRUNCATE)' > /dev/null");
        std::printf("index build: %.1f s (%.1f s of processor); archive %.0f MB before, %.0f MB after (+%.0f %%)\n",
                    build.wall, build.cpu, before, megabytes(indexedFile), (megabytes(indexedFile) / before - 1) * 100);
    }
    Connection archive;
    archive.openFile({indexedFile.string(), false, false});
    textindex::registerTokenizer(archive.handle());
    {
        const textindex::Status status = textindex::status(archive.handle());
        std::printf("index: %s, %.0f MB in an archive of %.0f MB (%.0f %% of the archive without it)\n",
                    status.complete ? "complete" : "NOT COMPLETE",
                    static_cast<double>(textindex::sizeInBytes(archive.handle())) / 1e6, megabytes(indexedFile),
                    static_cast<double>(textindex::sizeInBytes(archive.handle())) / 1e6 / megabytes(plain) * 100);
        const StatementPtr topics = archive.prepare("SELECT count(*) FROM FORUM_TOPICS");
        sqlite3_step(topics.get());
        g_topics = sqlite3_column_int64(topics.get(), 0);
    }

    std::mt19937 random(20);
    std::vector<Case> cases = {{"1 Chinese character", "資"},          {"nearly all (named)", "資料"},
                               {"nearly all (named)", "Delphi"},       {"ASCII, rare (named)", "topic_id=14531"},
                               {"2 Chinese, in none (named)", "颱風"}, {"2 ASCII letters (named)", "Qz"}};
    for (auto [shape, length] : {std::pair<const char *, std::size_t>{"2 Chinese characters", 2},
                                 {"3+ Chinese characters", 4},
                                 {"ASCII word", 0}})
        for (Case &c : drawn(archive, shape, length, random))
            cases.push_back(c);

    const Timing start = best([&] { run(g_velm + " --version > /dev/null"); }, true);
    std::printf("velm --version (the start of a process alone): %.3f s\n", start.wall);
    std::printf("\n%d topics; best of %d runs, warm cache; seconds (wall, processor)\n", static_cast<int>(g_topics),
                g_runs);
    std::printf("%-26s %-16s %7s %9s %6s | %-5s %9s %9s %6s %9s | %7s\n", "class", "keyword", "topics", "scan", "cpu",
                "index", "1st row", "all rows", "cpu", "velm cmd", "scan/ix");
    for (const Case &c : cases)
        quickSearchRow(archive, indexedFile, c);
    advancedSearchRow(archive, indexedFile, "Delphi topic_id=14531");
    advancedSearchRow(archive, indexedFile, "資料 example.com/401");

    // The quick search box's suggestions: up to ten subjects holding what was typed.
    std::printf("\nsuggestions (ten subjects at most), best of %d:", g_runs);
    for (const char *typed : {"資料", "De", "So", "連線逾時", "xq"}) {
        std::size_t rows = 0;
        const Timing suggest =
            best([&] { rows = statementRows(archive, SuggestionSql(archive.handle(), toCp950(typed))).count; }, false);
        std::printf("  %s %zu in %.1f ms;", typed, rows, suggest.wall * 1000);
    }
    std::printf("\n");
    archive.close();

    // The package holds the first copy's 20,000 topics and 90,000 replies: merged over them, every row replaces
    // an equal one; merged into a copy without them, every row is new.
    std::printf("\nimport of %s (the work of the import and the text index together):\n", package.c_str());
    const fs::path copy = work / "import-copy.sqlite";
    const std::string archiveArgument = " --archive " + quotedArgument(copy.string());
    for (const bool fresh : {false, true}) {
        double without = 0;
        for (const fs::path &from : {plain, indexedFile}) {
            fs::copy_file(from, copy, fs::copy_options::overwrite_existing);
            if (fresh) {
                run("sqlite3 " + quotedArgument(copy.string()) +
                    " 'DELETE FROM FORUM_REPLY WHERE TOPIC_ID < 1000000; DELETE FROM FORUM_TOPICS WHERE TOPIC_ID < "
                    "1000000' > /dev/null");
                if (from == indexedFile) // the index takes the deletions in before the import is timed
                    run(g_velm + archiveArgument + " index > /dev/null 2>&1");
            }
            const Timing import = best(
                [&] { run(g_velm + archiveArgument + " import " + quotedArgument(package) + " > /dev/null 2>&1"); },
                true, 1);
            std::printf("  %-10s %-18s %7.1f s (%5.1f s of processor)%s\n", fresh ? "new rows" : "equal rows",
                        from == plain ? "without the index" : "with the index", import.wall, import.cpu,
                        from == plain ? "" : ("; " + std::to_string(import.wall / without).substr(0, 4) + "x").c_str());
            without = import.wall;
            for (const char *end : {"", "-wal", "-shm"})
                fs::remove(copy.string() + end);
        }
    }
    return 0;
}
