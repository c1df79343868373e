#include "update/version_check.h"

#include <algorithm>
#include <cctype>

namespace velm {
namespace {

bool blankOrControl(unsigned char c)
{
    return c <= ' ' || c == 0x7f;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) {
               return p == std::tolower(static_cast<unsigned char>(t));
           });
}

// A byte of the version that becomes part of a local file name: separators, reserved and control
// characters, and lone bytes of a two-byte character are replaced.
char fileNameCharacter(std::string_view version, std::size_t at)
{
    if (at >= version.size())
        return '\0';
    const auto c = static_cast<unsigned char>(version[at]);
    static constexpr std::string_view kReserved = "/\\:*?\"<>|";
    if (blankOrControl(c) || c >= 0x80 || kReserved.find(static_cast<char>(c)) != std::string_view::npos)
        return '_';
    return static_cast<char>(c);
}

} // namespace

bool IsDemoPage(std::string_view url)
{
    return url.find(kDemoPage) != std::string_view::npos;
}

bool StaysInDemoPane(std::string_view url)
{
    return IsDemoPage(url) || url.find(kSecondDemoPage) != std::string_view::npos;
}

bool MayOpenOnDesktop(std::string_view url)
{
    for (std::string_view scheme : {"http:", "https:", "mailto:"})
        if (startsWithNoCase(url, scheme))
            return true;
    return false;
}

std::string_view DemoPageBody(std::string_view markup)
{
    for (std::size_t at = markup.find('<'); at != std::string_view::npos; at = markup.find('<', at + 1)) {
        const std::string_view tag = markup.substr(at + 1);
        if (startsWithNoCase(tag, "body") && (tag.size() == 4 || blankOrControl(tag[4]) || tag[4] == '>'))
            return markup.substr(at);
    }
    return markup;
}

std::string VersionMarker(std::string_view markup)
{
    const std::size_t marker = markup.find(kVersionMarker);
    if (marker == std::string_view::npos)
        return {};
    const std::size_t start = marker + std::string_view(kVersionMarker).size();
    const std::size_t end = markup.find('>', start);
    if (end == std::string_view::npos)
        return {};
    std::string_view version = markup.substr(start, end - start);
    while (!version.empty() && blankOrControl(version.front()))
        version.remove_prefix(1);
    while (!version.empty() && blankOrControl(version.back()))
        version.remove_suffix(1);
    return std::string(version);
}

bool IsNewerVersion(std::string_view version, std::string_view own)
{
    return std::lexicographical_compare(own.begin(), own.end(), version.begin(), version.end(), [](char a, char b) {
        return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    });
}

std::string InstallerFileName(std::string_view version)
{
    std::string name = "VELM_V";
    if (const char first = fileNameCharacter(version, 0))
        name += first;
    name += '_';
    if (const char third = fileNameCharacter(version, 2))
        name += third;
    return name + ".EXE";
}

} // namespace velm
