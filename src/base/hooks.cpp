#include "base/hooks.h"

namespace velm::hooks {
namespace {
std::function<void(const std::string &)> g_clipboard;
std::function<void(bool)> g_busyCursor;
} // namespace

void setClipboard(std::function<void(const std::string &)> hook)
{
    g_clipboard = std::move(hook);
}

void copyToClipboard(const std::string &cp950)
{
    if (g_clipboard)
        g_clipboard(cp950);
}

void setBusyCursor(std::function<void(bool)> hook)
{
    g_busyCursor = std::move(hook);
}

void busyCursor(bool busy)
{
    if (g_busyCursor)
        g_busyCursor(busy);
}

} // namespace velm::hooks
