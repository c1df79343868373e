#include "update/desktop_open.h"

#include "update/version_check.h"

#include <QDesktopServices>

namespace velm {
namespace {

std::function<void(const QUrl &)> g_hook;

} // namespace

void setDesktopOpenHook(std::function<void(const QUrl &url)> hook)
{
    g_hook = std::move(hook);
}

void OpenOnDesktop(const QUrl &url)
{
    if (g_hook)
        return g_hook(url);
    QDesktopServices::openUrl(url);
}

bool DemoPaneBeforeNavigate(const QUrl &url)
{
    const std::string address = url.toString(QUrl::FullyEncoded).toStdString();
    if (StaysInDemoPane(address))
        return false;
    if (MayOpenOnDesktop(address))
        OpenOnDesktop(url);
    return true;
}

} // namespace velm
