#include "form_script.h"

#include <cstdint>

namespace velm {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i], advancing i; a malformed sequence gives U+FFFD for one byte.
char32_t nextCodePoint(std::string_view text, size_t &i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return kReplacement;
    }
    if (i + static_cast<size_t>(extra) > text.size())
        return kReplacement;
    for (int k = 0; k < extra; ++k) {
        const auto c = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
        if ((c & 0xC0) != 0x80)
            return kReplacement;
        cp = (cp << 6) | (c & 0x3F);
    }
    const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return kReplacement;
    i += static_cast<size_t>(extra);
    return cp;
}

void appendUnit(std::string &out, std::uint32_t unit)
{
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(unit >> shift) & 0xF];
}

bool isPlain(char32_t cp)
{
    if (cp < 0x20 || cp >= 0x7F)
        return false;
    constexpr std::string_view kEscaped = "\"'\\<>&";
    return kEscaped.find(static_cast<char>(cp)) == std::string_view::npos;
}

} // namespace

std::string JsStringLiteral(std::string_view utf8)
{
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (isPlain(cp)) {
            out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            appendUnit(out, cp);
        } else {
            appendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
            appendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    out += '"';
    return out;
}

std::string FormFillScript(int formNumber, std::string_view fieldNameUtf8, std::string_view fieldValueUtf8)
{
    // The form's own submit may be shadowed by an element named "submit": the prototype's is called.
    return "(function () {\n"
           "  var number = " + std::to_string(formNumber) + ";\n"
           "  var name = " + JsStringLiteral(fieldNameUtf8) + ";\n"
           "  var value = " + JsStringLiteral(fieldValueUtf8) + ";\n"
           "  try {\n"
           "    if (name !== '' && value !== '') {\n"
           "      try {\n"
           "        var all = document.forms[number].getElementsByTagName('*');\n"
           "        for (var i = 0; i < all.length; ++i) {\n"
           "          if (all[i].getAttribute('name') === name || all[i].id === name) {\n"
           "            all[i].value = value;\n"
           "            break;\n"
           "          }\n"
           "        }\n"
           "      } catch (e) {}\n"
           "    }\n"
           "    HTMLFormElement.prototype.submit.call(document.forms[number]);\n"
           "    return true;\n"
           "  } catch (e) {\n"
           "    return false;\n"
           "  }\n"
           "})()";
}

} // namespace velm
