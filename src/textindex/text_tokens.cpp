#include "textindex/text_tokens.h"

#include "sqlite/sqlite_db.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <unordered_set>

namespace velm::textindex {
namespace {

enum class Kind { Break, Ascii, Other };

// One character as it stands in a token: ASCII letters folded, everything else in its shortest UTF-8.
struct Char {
    char bytes[4];
    std::uint8_t size;
    int start; // byte offset in the text
};

// The character value as SQLite's LIKE reads it: a lead byte takes every continuation byte after it, and
// an overlong form, a surrogate or U+FFFE/U+FFFF becomes U+FFFD.
std::uint32_t readChar(const unsigned char *&at, const unsigned char *end)
{
    std::uint32_t c = *at++;
    if (c < 0xc0)
        return c;
    static constexpr unsigned char kLeadBits[64] = {
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
        0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
        0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x00, 0x01, 0x02, 0x03, 0x00, 0x01, 0x00, 0x00,
    };
    c = kLeadBits[c - 0xc0];
    while (at < end && (*at & 0xc0) == 0x80)
        c = (c << 6) + (0x3f & *at++);
    if (c < 0x80 || (c & 0xFFFFF800) == 0xD800 || (c & 0xFFFFFFFE) == 0xFFFE)
        c = 0xFFFD;
    return c;
}

// Punctuation and symbols end a run of characters, as blanks do: pairs across them would only fill the index.
bool isSymbol(std::uint32_t c)
{
    return c < 0xC0 || (c >= 0x2000 && c <= 0x206F) || (c >= 0x2190 && c <= 0x21FF) || (c >= 0x2500 && c <= 0x26FF) ||
           (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE30 && c <= 0xFE6F) || (c >= 0xFF01 && c <= 0xFF0F) ||
           (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65);
}

Kind kindOf(std::uint32_t c)
{
    if (c < 0x80) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        return alnum ? Kind::Ascii : Kind::Break;
    }
    return isSymbol(c) ? Kind::Break : Kind::Other;
}

void encode(std::uint32_t c, Char &out)
{
    if (c < 0x80) {
        out.bytes[0] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        out.size = 1;
        return;
    }
    if (c > 0x10FFFF)
        c = 0xFFFD; // two such values may share a token: the index only gets less sharp
    if (c < 0x800) {
        out.bytes[0] = static_cast<char>(0xC0 | (c >> 6));
        out.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
        out.size = 2;
    } else if (c < 0x10000) {
        out.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
        out.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
        out.size = 3;
    } else {
        out.bytes[0] = static_cast<char>(0xF0 | (c >> 18));
        out.bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out.bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out.bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
        out.size = 4;
    }
}

// Emit(token, start, end) returns false to stop; scan returns false when it was stopped.
template <typename Emit> bool scan(std::string_view text, TokenSet set, Emit &&emit)
{
    const auto *at = reinterpret_cast<const unsigned char *>(text.data());
    const auto *const begin = at;
    const auto *const end = at + text.size();
    Char chars[3]{};
    Kind run = Kind::Break;
    int length = 0;
    char token[12];
    while (at < end) {
        const int start = static_cast<int>(at - begin);
        const std::uint32_t c = *at < 0x80 ? *at++ : readChar(at, end);
        const Kind kind = kindOf(c);
        if (kind != run)
            length = 0;
        run = kind;
        if (kind == Kind::Break)
            continue;
        chars[0] = chars[1];
        chars[1] = chars[2];
        encode(c, chars[2]);
        chars[2].start = start;
        ++length;
        const int stop = static_cast<int>(at - begin);
        const bool pair = length >= 2 && (kind == Kind::Other || set == TokenSet::Subject);
        if (pair) {
            std::memcpy(token, chars[1].bytes, chars[1].size);
            std::memcpy(token + chars[1].size, chars[2].bytes, chars[2].size);
            if (!emit(std::string_view(token, chars[1].size + chars[2].size), chars[1].start, stop))
                return false;
        }
        if (kind == Kind::Ascii && length >= 3) {
            const char three[3] = {chars[0].bytes[0], chars[1].bytes[0], chars[2].bytes[0]};
            if (!emit(std::string_view(three, 3), chars[0].start, stop))
                return false;
        }
    }
    return true;
}

struct Tokenizer {
    TokenSet set;
};
Tokenizer g_text{TokenSet::Text};
Tokenizer g_subject{TokenSet::Subject};

int xCreate(void *, const char **arguments, int count, Fts5Tokenizer **out)
{
    Tokenizer *chosen = &g_text;
    if (count == 1 && std::strcmp(arguments[0], "subject") == 0)
        chosen = &g_subject;
    else if (count != 0)
        return SQLITE_ERROR;
    *out = reinterpret_cast<Fts5Tokenizer *>(chosen);
    return SQLITE_OK;
}

void xDelete(Fts5Tokenizer *) {}

int xTokenize(Fts5Tokenizer *tokenizer, void *context, int flags, const char *text, int size,
              int (*xToken)(void *, int, const char *, int, int, int))
{
    // A query holds tokens made by keywordTokens, each quoted as a phrase of its own.
    if (flags & FTS5_TOKENIZE_QUERY)
        return xToken(context, 0, text, size, 0, size);
    int rc = SQLITE_OK;
    scan(std::string_view(text, static_cast<std::size_t>(size)), reinterpret_cast<Tokenizer *>(tokenizer)->set,
         [&](std::string_view token, int start, int stop) {
             rc = xToken(context, 0, token.data(), static_cast<int>(token.size()), start, stop);
             return rc == SQLITE_OK;
         });
    return rc;
}

} // namespace

void forEachToken(std::string_view utf8, TokenSet set, const std::function<void(std::string_view)> &token)
{
    scan(utf8, set, [&](std::string_view t, int, int) {
        token(t);
        return true;
    });
}

std::vector<std::string> keywordTokens(std::string_view utf8, TokenSet set)
{
    std::vector<std::string> tokens;
    std::unordered_set<std::string> seen;
    forEachToken(utf8, set, [&](std::string_view token) {
        if (seen.emplace(token).second)
            tokens.emplace_back(token);
    });
    return tokens;
}

void registerTokenizer(sqlite3 *db)
{
    fts5_api *api = nullptr;
    {
        const sqlite::StatementPtr statement = sqlite::prepare(db, "SELECT fts5(?1)");
        sqlite3_bind_pointer(statement.get(), 1, &api, "fts5_api_ptr", nullptr);
        sqlite3_step(statement.get());
    }
    if (!api || api->iVersion < 2)
        throw sqlite::Failure("SQLite 沒有 FTS5 全文索引");
    fts5_tokenizer tokenizer{xCreate, xDelete, xTokenize};
    if (api->xCreateTokenizer(api, kTokenizerName, nullptr, &tokenizer, nullptr) != SQLITE_OK)
        sqlite::raise(db);
}

} // namespace velm::textindex
