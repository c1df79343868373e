#pragma once
// What happens when the demo page has loaded: a newer version is offered, downloaded and its installer
// started; otherwise the automatic package update runs unless AutoUpdate is "N".
#include "base/cp950.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

class Downloader;
class ProgressSink;

// The window's side of the check.
struct VersionCheckHost {
    std::function<void()> showHomePage;    // the package home page in the article browser
    std::function<void()> runOnlineUpdate; // the online update, started by the pane (no "up to date" box)
    std::function<bool(const Big5Text &text)> askYesNo;
    std::function<void(const Big5Text &text)> showMessage;
    std::function<void()> processEvents;
    std::function<void(const std::string &path)> openInstaller; // hands the file to the desktop
    std::function<void()> closeMainWindow;
};

enum class VersionCheckOutcome { NoMarker, UpdateStarted, AutoUpdateOff, Declined, DownloadFailed, InstallerStarted };

struct SelfUpdatePlace {
    std::vector<std::string> mirrors; // DownloadMirrors, in the order they are tried
    std::string programFolder;        // where the installer is stored
};

// The check on the demo page's markup as the server sent it (code page 950 bytes).
VersionCheckOutcome RunVersionCheck(std::string_view markup, const SelfUpdatePlace &place, Downloader &downloader,
                                    ProgressSink &progress, const VersionCheckHost &host);

} // namespace velm
