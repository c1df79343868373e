#include "layout.h"

#include "cp950.h"

#include <charconv>

namespace velm {
namespace {

// Panel sizes: a whole number above 0 is taken, 0 or less gives 1, anything else leaves the size.
void readPanel(const std::string &text, int &size)
{
    int n = 0;
    if (text.empty() || !parseWholeNumber(text, n))
        return;
    size = n > 0 ? n : 1;
}

void readBound(const std::string &text, int &bound)
{
    int n = 0;
    if (parseWholeNumber(text, n))
        bound = n;
}

} // namespace

const std::string &DesignFontName()
{
    return B5("細明體");
}

bool parseWholeNumber(const std::string &text, int &out)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end)
        return false;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return false;
    out = value;
    return true;
}

WindowLayout ReadLayout(const SettingReader &read)
{
    WindowLayout layout;
    layout.fontName = DesignFontName();
    int size = 0;
    // A size that is no positive number leaves the design size: a font of 0 points cannot be shown.
    if (parseWholeNumber(read("DefaultFontSize"), size) && size > 0)
        layout.fontSize = size;
    if (std::string name = read("DefaultFontName"); !name.empty())
        layout.fontName = name;
    const std::string max = read("WindowMax");
    layout.maximized = max == "Y" || max.empty();
    if (!layout.maximized) {
        readBound(read("WindowLeft"), layout.left);
        readBound(read("WindowTop"), layout.top);
        readBound(read("WindowWidth"), layout.width);
        readBound(read("WindowHeight"), layout.height);
    }
    readPanel(read("Panel3Height"), layout.panel3Height);
    readPanel(read("Panel4Width"), layout.panel4Width);
    return layout;
}

void WriteLayout(const WindowLayout &layout, const SettingWriter &write)
{
    write("WindowMax", layout.maximized ? "Y" : "N");
    write("WindowLeft", std::to_string(layout.left));
    write("WindowTop", std::to_string(layout.top));
    write("WindowWidth", std::to_string(layout.width));
    write("WindowHeight", std::to_string(layout.height));
    write("Panel3Height", std::to_string(layout.panel3Height));
    write("Panel4Width", std::to_string(layout.panel4Width));
}

} // namespace velm
