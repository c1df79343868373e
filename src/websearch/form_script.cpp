#include "websearch/form_script.h"

#include <QString>
#include <QStringDecoder>

#include <cstdint>

namespace velm {
namespace {

void appendUnit(std::string &out, std::uint32_t unit)
{
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(unit >> shift) & 0xF];
}

bool isPlain(char16_t unit)
{
    if (unit < 0x20 || unit >= 0x7F)
        return false;
    constexpr std::string_view kEscaped = "\"'\\<>&";
    return kEscaped.find(static_cast<char>(unit)) == std::string_view::npos;
}

} // namespace

std::string JsStringLiteral(std::string_view utf8)
{
    // The escapes are UTF-16 code units, a character beyond the Basic Multilingual Plane a surrogate pair.
    // Each byte of a malformed sequence becomes U+FFFD; a leading byte order mark is kept as a character.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    std::string out = "\"";
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (isPlain(unit))
            out += static_cast<char>(unit);
        else
            appendUnit(out, unit);
    }
    out += '"';
    return out;
}

std::string FormFillScript(int formNumber, std::string_view fieldNameUtf8, std::string_view fieldValueUtf8)
{
    // The form's own submit may be shadowed by an element named "submit": the prototype's is called.
    return "(function () {\n"
           "  var number = " +
           std::to_string(formNumber) +
           ";\n"
           "  var name = " +
           JsStringLiteral(fieldNameUtf8) +
           ";\n"
           "  var value = " +
           JsStringLiteral(fieldValueUtf8) +
           ";\n"
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
