#include "base/cp950.h"

#include <unicode/ucnv.h>

#include <memory>
#include <stdexcept>

namespace velm {
namespace {

struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr openConverter(const char *name, bool substituteQuestionMark)
{
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr conv(ucnv_open(name, &status));
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("ICU converter not available: ") + name);
    if (substituteQuestionMark) {
        status = U_ZERO_ERROR;
        ucnv_setSubstChars(conv.get(), "?", 1, &status);
    }
    return conv;
}

ConverterPtr openPageTextConverter()
{
    ConverterPtr conv = openConverter("windows-950-2000", false);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_ESCAPE, UCNV_ESCAPE_XML_DEC, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("ICU converter callback not set: ") + u_errorName(status));
    return conv;
}

// One set of converters per thread: ICU converters hold state and are not shareable.
struct Converters {
    ConverterPtr big5 = openConverter("windows-950-2000", true);
    ConverterPtr big5PageText = openPageTextConverter();
    ConverterPtr utf8 = openConverter("UTF-8", false);
    ConverterPtr gbk = openConverter("GBK", true);
};

Converters &converters()
{
    thread_local Converters c;
    return c;
}

std::string convert(UConverter *to, UConverter *from, std::string_view in)
{
    std::string out;
    out.resize(in.size() * 2 + 16);
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        char *target = out.data();
        const char *source = in.data();
        ucnv_convertEx(to, from, &target, out.data() + out.size(), &source, in.data() + in.size(), nullptr, nullptr,
                       nullptr, nullptr, true, true, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(status))
            throw std::runtime_error(std::string("text conversion failed: ") + u_errorName(status));
        out.resize(static_cast<size_t>(target - out.data()));
        return out;
    }
}

} // namespace

bool isAscii(std::string_view text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

std::string toCp950(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    auto &c = converters();
    return convert(c.big5.get(), c.utf8.get(), utf8);
}

std::string toCp950PageText(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    auto &c = converters();
    return convert(c.big5PageText.get(), c.utf8.get(), utf8);
}

std::string fromCp950(std::string_view cp950)
{
    if (isAscii(cp950))
        return std::string(cp950);
    auto &c = converters();
    return convert(c.utf8.get(), c.big5.get(), cp950);
}

std::string fromGbk(std::string_view gbk)
{
    if (isAscii(gbk))
        return std::string(gbk);
    auto &c = converters();
    return convert(c.utf8.get(), c.gbk.get(), gbk);
}

std::string utf8ToGbk(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    auto &c = converters();
    return convert(c.gbk.get(), c.utf8.get(), utf8);
}

Big5Text Big5Text::fromUtf8(std::string_view utf8)
{
    return Big5Text(toCp950(utf8));
}

std::string Big5Text::toUtf8() const
{
    return fromCp950(m_bytes);
}

} // namespace velm
