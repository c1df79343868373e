#pragma once
// Handing an address or a downloaded file to the desktop: the user's browser, mail program, or the
// program the file belongs to. Replaceable so tests record the hand-over instead.
#include <QUrl>

#include <functional>

namespace velm {

// An empty hook restores the desktop's own opener.
void setDesktopOpenHook(std::function<void(const QUrl &url)> hook);
// The outcome is not examined: the caller goes on whatever the desktop does.
void OpenOnDesktop(const QUrl &url);

// The announcement pane's navigation rule: an address outside the demo pages is handed to the desktop
// (http, https and mailto only) and the pane stays where it is. True cancels the navigation.
bool DemoPaneBeforeNavigate(const QUrl &url);

} // namespace velm
