#include "shell_core/layout.h"

#include "base/cp950.h"
#include "base/whole_number.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

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

// A window size that is no positive number leaves the design size.
void readExtent(const std::string &text, int &extent)
{
    int n = 0;
    if (parseWholeNumber(text, n) && n > 0)
        extent = n;
}

// The start of a span of the given length placed at start, moved as little as needed to lie within
// [areaStart, areaStart + areaLength); the span is no longer than the area.
int placedWithin(int start, int length, int areaStart, int areaLength)
{
    const long long last = static_cast<long long>(areaStart) + areaLength - length;
    return static_cast<int>(std::clamp<long long>(start, areaStart, std::max<long long>(areaStart, last)));
}

} // namespace

const std::string &DesignFontName()
{
    return B5("細明體");
}

std::optional<double> parseArticleZoom(const std::string &text)
{
    double value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value) || value <= 0)
        return std::nullopt;
    return std::clamp(value, kMinArticleZoom, kMaxArticleZoom);
}

double ArticleZoomStep(double factor, int steps)
{
    static constexpr std::array<double, 17> kSteps = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                                                      1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};
    constexpr double kSame = 0.001; // a factor this close to a step stands on it
    if (!std::isfinite(factor))
        factor = 1.0;
    factor = std::clamp(factor, kMinArticleZoom, kMaxArticleZoom);
    for (; steps > 0; --steps) {
        const auto next = std::find_if(kSteps.begin(), kSteps.end(), [&](double s) { return s > factor + kSame; });
        if (next == kSteps.end())
            break;
        factor = *next;
    }
    for (; steps < 0; ++steps) {
        const auto next = std::find_if(kSteps.rbegin(), kSteps.rend(), [&](double s) { return s < factor - kSame; });
        if (next == kSteps.rend())
            break;
        factor = *next;
    }
    return factor;
}

std::string formatArticleZoom(double factor)
{
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, factor, std::chars_format::fixed, 2);
    return ec == std::errc() ? std::string(text, end) : std::string("1.00");
}

WindowLayout ReadLayout(const SettingReader &read)
{
    WindowLayout layout;
    layout.fontName = DesignFontName();
    int size = 0;
    // A size that is no positive number leaves the design size: a font of 0 points cannot be shown.
    if (parseWholeNumber(read("DefaultFontSize"), size) && size > 0)
        layout.fontSize = std::clamp(size, kMinFontSize, kMaxFontSize);
    if (std::string name = read("DefaultFontName"); !name.empty())
        layout.fontName = name;
    const std::string max = read("WindowMax");
    layout.maximized = max == "Y" || max.empty();
    if (!layout.maximized) {
        readBound(read("WindowLeft"), layout.left);
        readBound(read("WindowTop"), layout.top);
        readExtent(read("WindowWidth"), layout.width);
        readExtent(read("WindowHeight"), layout.height);
    }
    readPanel(read("Panel3Height"), layout.panel3Height);
    readPanel(read("Panel4Width"), layout.panel4Width);
    return layout;
}

void FitWindowToArea(int &left, int &top, int &width, int &height, const QRect &area)
{
    if (area.isEmpty())
        return;
    width = std::clamp(width, 1, area.width());
    height = std::clamp(height, 1, area.height());
    left = placedWithin(left, width, area.left(), area.width());
    top = placedWithin(top, height, area.top(), area.height());
}

void FitLayoutToScreen(WindowLayout &layout, const QRect &available)
{
    if (available.isEmpty())
        return;
    FitWindowToArea(layout.left, layout.top, layout.width, layout.height, available);
    layout.panel3Height = std::clamp(layout.panel3Height, 1, available.height());
    layout.panel4Width = std::clamp(layout.panel4Width, 1, available.width());
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
