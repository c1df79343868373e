// Times ExpandPackage on the large benchmark package beside a plain inflate loop over the same stream, then
// the import of the expanded archive as a package (into a copy of its own converted archive, where every
// row is replaced, and into an empty archive) beside the sqlite3 shell running the same deletes and inserts
// in one transaction. Usage: packages_bench [WORK-FOLDER [RUNS]]; the files stay in the work folder.
#include "archive/database.h"
#include "base/error.h"
#include "base/progress.h"
#include "bench_package.h"
#include "packages/package_file.h"
#include "packages/package_import.h"

#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velm;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(const std::function<void()> &job)
{
    const auto start = Clock::now();
    job();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The baseline: read, inflate and write in the simplest loop zlib allows.
void plainInflate(const std::string &source, const std::string &destination)
{
    std::FILE *in = std::fopen(source.c_str(), "rb");
    std::FILE *out = std::fopen(destination.c_str(), "wb");
    if (!in || !out)
        throw std::runtime_error("cannot open " + source + " or " + destination);
    std::fseek(in, 4, SEEK_SET);
    z_stream z{};
    inflateInit(&z);
    std::vector<unsigned char> input(65536), output(256 * 1024);
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        z.avail_in = static_cast<uInt>(std::fread(input.data(), 1, input.size(), in));
        if (z.avail_in == 0)
            break;
        z.next_in = input.data();
        do {
            z.next_out = output.data();
            z.avail_out = static_cast<uInt>(output.size());
            rc = inflate(&z, Z_NO_FLUSH);
            std::fwrite(output.data(), 1, output.size() - z.avail_out, out);
        } while (z.avail_out == 0 && rc == Z_OK);
    }
    inflateEnd(&z);
    std::fclose(in);
    std::fclose(out);
}

class BenchHost final : public ImportHost {
public:
    void setStatusText(const std::string &) override
    {
        if (!m_merging)
            m_mergeStart = Clock::now();
        m_merging = true;
    }
    ProgressSink &progress() override { return m_progress; }
    void processEvents() override {}
    Clock::time_point mergeStart() const { return m_mergeStart; }

private:
    SilentProgress m_progress;
    bool m_merging = false;
    Clock::time_point m_mergeStart;
};

struct ImportTimes {
    double total;
    double merge;
};

ImportTimes timeImport(const std::string &package, const std::string &archivePath)
{
    Connection archive(Connection::Mode::Archive);
    archive.setConnectionText(archivePath);
    archive.open();
    Connection packageConnection(Connection::Mode::Package);
    BenchHost host;
    const auto start = Clock::now();
    ImportPackage(package, archive, packageConnection, host);
    const auto end = Clock::now();
    return {std::chrono::duration<double>(end - start).count(),
            std::chrono::duration<double>(end - host.mergeStart()).count()};
}

void execAll(sqlite3 *db, const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(text);
    }
}

// A database with the tables and indexes of another and no rows.
void emptyCopy(const std::string &from, const std::string &to)
{
    fs::remove(to);
    sqlite3 *source = nullptr, *target = nullptr;
    sqlite3_open(from.c_str(), &source);
    sqlite3_open(to.c_str(), &target);
    execAll(target, "PRAGMA journal_mode=WAL");
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(source, "select sql from sqlite_master where sql is not null order by type = 'index'", -1, &stmt,
                       nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        execAll(target, reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(source);
    sqlite3_close(target);
}

std::string literal(const Value &v)
{
    switch (v.kind()) {
    case Value::Kind::Null:
    case Value::Kind::Empty:
        return "NULL";
    case Value::Kind::Boolean:
        return v.toBool() ? "1" : "0";
    case Value::Kind::Integer:
        return std::to_string(v.toInt());
    case Value::Kind::Float: {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v.toDouble());
        return text;
    }
    case Value::Kind::Bytes: {
        std::string hex = "X'";
        for (unsigned char c : v.raw()) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", c);
            hex += pair;
        }
        return hex + "'";
    }
    default: {
        // The shell drops the CR of a CR LF pair in a script it reads: a CR goes in as char(13), so the shell
        // writes the same bytes as the import.
        std::string quoted = "'";
        for (char c : v.kind() == Value::Kind::Text ? v.toUtf8() : v.raw())
            quoted += c == '\'' ? std::string("''") : c == '\r' ? std::string("'||char(13)||'") : std::string(1, c);
        return quoted + "'";
    }
    }
}

// Replies present in one archive but not, byte for byte, in the other.
long long differingReplies(const std::string &ours, const std::string &shells)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(ours.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    const std::string attach = "ATTACH '" + shells + "' AS shell";
    sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "select count(*) from (select TOPIC_ID, REPLY_ID, cast(R_MESSAGE as blob) from main.FORUM_REPLY "
                       "except select TOPIC_ID, REPLY_ID, cast(R_MESSAGE as blob) from shell.FORUM_REPLY)",
                       -1, &stmt, nullptr);
    const long long count = stmt && sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return count;
}

// The merge's deletes and inserts as one script in one transaction; returns the number of rows.
long long writeScript(const std::string &package, const std::string &script)
{
    Connection connection(Connection::Mode::Package);
    connection.setConnectionText(package);
    connection.open();
    std::ofstream out(script, std::ios::binary);
    out << "PRAGMA synchronous=NORMAL;\nBEGIN;\n";
    long long count = 0;
    for (const MergeStep &step : kMergePlan) {
        Query rows(&connection);
        rows.setSql(std::string("select * from ") + step.table);
        rows.open();
        std::string columns;
        for (int i = 0; i < rows.fieldCount(); ++i)
            columns += (i ? "," : "") + rows.fieldName(i);
        // Only the replies have two key columns.
        const bool reply = std::string(step.table) == "FORUM_REPLY";
        const char *firstKey = reply ? "TOPIC_ID" : step.keys;
        for (; !rows.eof(); rows.next(), ++count) {
            out << "DELETE FROM " << step.table << " where " << firstKey << "="
                << literal(rows.fieldByName(firstKey).value());
            if (reply)
                out << " and REPLY_ID=" << literal(rows.fieldByName("REPLY_ID").value());
            out << ";\ninsert into " << step.table << " (" << columns << ") values(";
            for (int i = 0; i < rows.fieldCount(); ++i)
                out << (i ? "," : "") << literal(rows.field(i).value());
            out << ");\n";
        }
    }
    out << "COMMIT;\n";
    return count;
}

double timeShell(const std::string &database, const std::string &script)
{
    const std::string command = "sqlite3 '" + database + "' < '" + script + "' > /dev/null";
    int status = 0;
    const double took = seconds([&] { status = std::system(command.c_str()); });
    if (status != 0)
        throw std::runtime_error("sqlite3 failed on " + database);
    return took;
}

void printImport(const char *what, long long rows, ImportTimes ours, double shell)
{
    std::printf("%-34s %8.2f s whole import, %8.2f s merge: %9.0f rows/s; sqlite3 shell %6.2f s: %9.0f rows/s "
                "(ours %.0f %% of it)\n",
                what, ours.total, ours.merge, rows / ours.merge, shell, rows / shell, 100.0 * shell / ours.merge);
}

} // namespace

int main(int argc, char **argv)
{
    try {
        const std::string work = argc > 1 ? argv[1] : VELM_BENCH_WORK;
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
        const std::string source = bench::bigPackage();
        fs::create_directories(work);
        const std::string expanded = work + "/big-archive.mdb";
        const std::string plain = work + "/plain-inflate.mdb";

        double best = 1e9, bestPlain = 1e9;
        for (int run = 0; run < runs; ++run) {
            // Both write a new file: replacing a large file costs its removal, which is not the inflater's.
            fs::remove(expanded);
            fs::remove(plain);
            bool ok = false;
            best = std::min(best, seconds([&] { ok = ExpandPackage(source, expanded); }));
            if (!ok)
                throw std::runtime_error("ExpandPackage failed");
            bestPlain = std::min(bestPlain, seconds([&] { plainInflate(source, plain); }));
        }
        const double megabytes = static_cast<double>(fs::file_size(expanded)) / 1e6;
        if (fs::file_size(plain) < fs::file_size(expanded))
            throw std::runtime_error("the plain loop gave fewer bytes");
        fs::remove(plain);
        std::printf("expand %.1f MB (best of %d): ExpandPackage %.3f s (%.0f MB/s), plain inflate loop %.3f s "
                    "(%.0f MB/s): %.0f %% of the plain loop's time\n",
                    megabytes, runs, best, megabytes / best, bestPlain, megabytes / bestPlain,
                    100.0 * best / bestPlain);

        // The archive the package came from, converted once and kept between runs.
        const std::string archiveMdb = work + "/archive.mdb";
        const std::string converted = work + "/archive.sqlite";
        if (!fs::exists(converted)) {
            fs::copy_file(expanded, archiveMdb, fs::copy_options::overwrite_existing);
            Connection converting;
            converting.setConnectionText(archiveMdb);
            std::printf("converting the archive once: %.1f s\n", seconds([&] { converting.open(); }));
        }
        const std::string replaced = work + "/replaced.sqlite";
        const std::string empty = work + "/empty.sqlite";
        const std::string script = work + "/merge.sql";
        fs::copy_file(converted, replaced, fs::copy_options::overwrite_existing);
        const ImportTimes intoCopy = timeImport(expanded, replaced);
        emptyCopy(replaced, empty);
        const ImportTimes intoEmpty = timeImport(expanded, empty);

        const long long rows = writeScript(expanded, script);
        const std::string shellReplaced = work + "/shell-replaced.sqlite";
        const std::string shellEmpty = work + "/shell-empty.sqlite";
        fs::copy_file(replaced, shellReplaced, fs::copy_options::overwrite_existing);
        emptyCopy(replaced, shellEmpty);
        const double shellIntoCopy = timeShell(shellReplaced, script);
        const double shellIntoEmpty = timeShell(shellEmpty, script);
        std::printf("import of %lld package rows:\n", rows);
        for (const auto &[ours, shells] : {std::pair{empty, shellEmpty}, std::pair{replaced, shellReplaced}})
            std::printf("  rows whose replies differ between the import and the shell: %lld\n",
                        differingReplies(ours, shells));
        printImport("  into its own archive (replacing)", rows, intoCopy, shellIntoCopy);
        printImport("  into an empty archive", rows, intoEmpty, shellIntoEmpty);
        for (const std::string &file : {replaced, empty, shellReplaced, shellEmpty, script})
            fs::remove(file);
    } catch (const Error &e) {
        std::fprintf(stderr, "packages_bench: %s\n", e.utf8().c_str());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "packages_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
