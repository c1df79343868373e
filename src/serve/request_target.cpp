#include "serve/request_target.h"

#include <QStringDecoder>

namespace velm::serve {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isUtf8(std::string_view bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // The decoding happens when its result becomes a string.
    const QString decoded = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

} // namespace

std::optional<std::string> RequestTarget::value(std::string_view name) const
{
    for (const auto &[key, v] : query)
        if (key == name)
            return v;
    return std::nullopt;
}

std::vector<std::string> RequestTarget::values(std::string_view name) const
{
    std::vector<std::string> found;
    for (const auto &[key, v] : query)
        if (key == name)
            found.push_back(v);
    return found;
}

std::optional<std::string> percentDecoded(std::string_view text, bool plusIsBlank)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsBlank) {
            out += ' ';
        } else if (c == '%') {
            const bool complete = i + 2 < text.size();
            const int high = complete ? hexValue(text[i + 1]) : -1;
            const int low = complete ? hexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0 || (high == 0 && low == 0))
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    if (!isUtf8(out))
        return std::nullopt;
    return out;
}

std::optional<RequestTarget> parseRequestTarget(std::string_view target)
{
    if (target.empty() || target.front() != '/')
        return std::nullopt;
    const size_t question = target.find('?');
    RequestTarget parsed;
    auto path = percentDecoded(target.substr(0, question), false);
    if (!path)
        return std::nullopt;
    parsed.path = std::move(*path);
    if (question == std::string_view::npos)
        return parsed;
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (pair.empty())
            continue;
        const size_t equals = pair.find('=');
        auto name = percentDecoded(pair.substr(0, equals), true);
        auto value =
            percentDecoded(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1), true);
        if (!name || !value)
            return std::nullopt;
        parsed.query.emplace_back(std::move(*name), std::move(*value));
    }
    return parsed;
}

} // namespace velm::serve
