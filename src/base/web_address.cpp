#include "base/web_address.h"

#include "base/cp950.h"
#include "base/percent.h"

#include <QUrl>

#include <algorithm>

namespace velm {

AuthoritySpan authorityOf(std::string_view address)
{
    const size_t scheme = address.find("://");
    if (scheme == std::string_view::npos)
        return {};
    const size_t begin = scheme + 3;
    return {begin, std::min(address.find_first_of("/?#", begin), address.size())};
}

std::string asciiAuthority(std::string_view authority)
{
    if (isAscii(authority))
        return std::string(authority);
    const size_t at = authority.rfind('@');
    const size_t hostBegin = at == std::string_view::npos ? 0 : at + 1;
    // A port follows the last ':' unless that lies inside a bracketed (IPv6) host.
    size_t hostEnd = authority.size();
    if (const size_t colon = authority.rfind(':');
        colon != std::string_view::npos && colon >= hostBegin && authority.find(']', colon) == std::string_view::npos)
        hostEnd = colon;
    const std::string_view host = authority.substr(hostBegin, hostEnd - hostBegin);
    const QByteArray ace = QUrl::toAce(QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size())));
    if (ace.isEmpty())
        return std::string(authority);
    return std::string(authority.substr(0, hostBegin)) + ace.toStdString() + std::string(authority.substr(hostEnd));
}

namespace {

bool encodedOnTheWire(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte >= 0x7F;
}

} // namespace

std::string wireAddress(std::string_view address)
{
    if (std::ranges::none_of(address, encodedOnTheWire))
        return std::string(address);
    const AuthoritySpan authority = authorityOf(address);
    std::string out(address.substr(0, authority.begin));
    out += asciiAuthority(address.substr(authority.begin, authority.end - authority.begin));
    for (const char c : address.substr(authority.end)) {
        if (encodedOnTheWire(c))
            appendPercentEscape(out, static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

} // namespace velm
