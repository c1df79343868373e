// velm-make-demo OUT SCHEMA.sql DATA.sql...: turns the readable demo SQL into the archive a fresh build opens.
#include "archive/archive_file.h"
#include "base/cp950.h"
#include "demo_handles.h"

#include <sqlite3.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using demo::ConverterPtr;
using demo::DatabasePtr;
using demo::StatementPtr;

std::u16string toUtf16(std::string_view utf8)
{
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        throw std::runtime_error("gb(): the text is no valid UTF-8");
    std::u16string out(static_cast<size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8(out.data(), length, nullptr, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error("gb(): the text is no valid UTF-8");
    return out;
}

// Empty result for a character GBK lacks: ICU would otherwise put a substitute byte in silently.
std::string toGbk(std::u16string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr gbk(ucnv_open("GBK", &status));
    if (U_FAILURE(status))
        throw std::runtime_error("the ICU converter GBK is not available");
    ucnv_setFromUCallBack(gbk.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const auto *source = reinterpret_cast<const UChar *>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t needed = ucnv_fromUChars(gbk.get(), nullptr, 0, source, length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return {};
    std::string out(static_cast<size_t>(needed), '\0');
    status = U_ZERO_ERROR;
    ucnv_fromUChars(gbk.get(), out.data(), needed, source, length, &status);
    return U_FAILURE(status) ? std::string() : out;
}

// The GBK bytes as a Big5 client stored them, or empty when some byte pair would not come back.
std::string storedForm(std::u16string_view text)
{
    const std::string gbk = toGbk(text);
    if (gbk.empty())
        return {};
    std::string stored = velm::fromCp950(gbk);
    return velm::toCp950(stored) == gbk ? stored : std::string();
}

// Names the first character that keeps a text out of the archive, so the post can be reworded.
std::string describeCharacter(std::u16string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        UChar32 c;
        U16_NEXT(text.data(), i, text.size(), c);
        if (storedForm(text.substr(start, i - start)).empty()) {
            char name[32];
            uint8_t utf8[4];
            int32_t length = 0;
            UBool failed = false;
            U8_APPEND(utf8, length, 4, c, failed);
            std::snprintf(name, sizeof name, "'%.*s' (U+%04X)", failed ? 0 : static_cast<int>(length),
                          reinterpret_cast<const char *>(utf8), static_cast<unsigned>(c));
            return name;
        }
    }
    return "a character";
}

// gb('simplified text'): the text as it lies in the archive when a GB client posted it.
void gbFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    try {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        const std::u16string wide = toUtf16(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(argv[0]))));
        const std::string stored = storedForm(wide);
        if (stored.empty() && !wide.empty())
            throw std::runtime_error("gb(): " + describeCharacter(wide) +
                                     " has no GBK form that survives code page 950");
        sqlite3_result_text(ctx, stored.data(), static_cast<int>(stored.size()), SQLITE_TRANSIENT);
    } catch (const std::exception &e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(path + ": cannot be read");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int lineAt(std::string_view text, size_t offset)
{
    offset = std::min(offset, text.size());
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// The statement's own first line, past the blank lines and comments that lead up to it.
size_t statementStart(std::string_view text, size_t offset)
{
    while (offset < text.size()) {
        if (text[offset] == ' ' || text[offset] == '\t' || text[offset] == '\r' || text[offset] == '\n') {
            ++offset;
        } else if (text.substr(offset, 2) == "--") {
            const size_t end = text.find('\n', offset);
            offset = end == std::string_view::npos ? text.size() : end + 1;
        } else {
            break;
        }
    }
    return offset;
}

void fail(sqlite3 *db, const std::string &path, std::string_view sql, size_t offset)
{
    throw std::runtime_error(path + ":" + std::to_string(lineAt(sql, offset)) + ": " + sqlite3_errmsg(db));
}

void runScript(sqlite3 *db, const std::string &path, const std::string &sql)
{
    const char *begin = sql.c_str();
    const char *end = begin + sql.size();
    const char *tail = begin;
    while (tail < end) {
        const size_t start = statementStart(sql, static_cast<size_t>(tail - begin));
        const size_t offset = static_cast<size_t>(tail - begin);
        sqlite3_stmt *raw = nullptr;
        const int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &raw, &tail);
        StatementPtr stmt(raw);
        if (rc != SQLITE_OK) {
            const int at = sqlite3_error_offset(db);
            fail(db, path, sql, at >= 0 ? offset + static_cast<size_t>(at) : start);
        }
        if (!stmt)
            continue;
        int step;
        while ((step = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        }
        if (step != SQLITE_DONE)
            fail(db, path, sql, start);
    }
}

void execute(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        throw std::runtime_error(std::string(sql) + ": " + text);
    }
}

void build(const std::filesystem::path &out, const std::filesystem::path &temporary,
           const std::vector<std::string> &scripts)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(temporary.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    DatabasePtr db(raw);
    if (rc != SQLITE_OK)
        throw std::runtime_error(temporary.string() + ": " + (db ? sqlite3_errmsg(db.get()) : "cannot be created"));
    if (sqlite3_create_function_v2(db.get(), "gb", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, gbFunction, nullptr,
                                   nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("gb(): ") + sqlite3_errmsg(db.get()));

    execute(db.get(), "BEGIN");
    for (const std::string &path : scripts)
        runScript(db.get(), path, readFile(path));
    velm::createArchiveIndexes(db.get());
    execute(db.get(), "COMMIT");

    if (sqlite3_close(db.release()) != SQLITE_OK)
        throw std::runtime_error(temporary.string() + ": cannot be closed");
    // A log left by a reader of the previous archive would be replayed onto the new one.
    std::filesystem::remove(out.string() + "-wal");
    std::filesystem::remove(out.string() + "-shm");
    std::filesystem::rename(temporary, out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::cerr << "usage: velm-make-demo OUT SCHEMA.sql DATA.sql [...]\n";
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const std::filesystem::path temporary = out.string() + ".tmp";
    const std::vector<std::string> scripts(argv + 2, argv + argc);
    std::error_code ignored;
    try {
        std::filesystem::remove(temporary);
        std::filesystem::remove(temporary.string() + "-journal");
        build(out, temporary, scripts);
        return 0;
    } catch (const std::exception &e) {
        std::cerr << "velm-make-demo: " << e.what() << '\n';
    }
    // An archive from an earlier run would pass for this one's result.
    std::filesystem::remove(temporary, ignored);
    std::filesystem::remove(temporary.string() + "-journal", ignored);
    std::filesystem::remove(out, ignored);
    return 1;
}
