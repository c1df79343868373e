#pragma once
// The main window's remembered layout and the rules by which stored values are read back.
#include <QRect>

#include <functional>
#include <optional>
#include <string>

namespace velm {

struct WindowLayout {
    int fontSize = 9;
    std::string fontName; // code page 950; empty means the design face
    bool maximized = true;
    int left = 201;
    int top = 131;
    int width = 662;
    int height = 502;
    int panel3Height = 176; // topic list
    int panel4Width = 168;  // forum tree
};

// The font sizes a stored value is held to: a size outside them is brought to the nearer end.
inline constexpr int kMinFontSize = 6;
inline constexpr int kMaxFontSize = 72;

// The design face of every control, 細明體, in code page 950.
const std::string &DesignFontName();

using SettingReader = std::function<std::string(const char *name)>;
using SettingWriter = std::function<void(const char *name, const std::string &value)>;

// The article view's zoom factors: the range a stored factor is held to, and the steps of the zoom keys.
inline constexpr double kMinArticleZoom = 0.25;
inline constexpr double kMaxArticleZoom = 5.0;
// A stored zoom factor: a finite decimal number, brought into the range; anything else reads as absent.
std::optional<double> parseArticleZoom(const std::string &text);
// The factor the given number of zoom steps away (the next step up or down from a factor between two),
// within the range.
double ArticleZoomStep(double factor, int steps);
std::string formatArticleZoom(double factor);

// Applies the stored values over the design layout, reading them in start-up order.
WindowLayout ReadLayout(const SettingReader &read);
// Brings a window's place and size into an area: no larger than the area and lying wholly inside it,
// moved as little as needed. The values may be anything (they may come from the settings file).
void FitWindowToArea(int &left, int &top, int &width, int &height, const QRect &area);
// Brings the layout onto a screen's available area: the window as FitWindowToArea places it, each
// pane no larger than the area.
void FitLayoutToScreen(WindowLayout &layout, const QRect &available);
// Writes the seven layout values in shut-down order.
void WriteLayout(const WindowLayout &layout, const SettingWriter &write);

} // namespace velm
