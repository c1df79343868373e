#include "update/self_update.h"

#include "base/cp950.h"
#include "base/paths.h"
#include "base/progress.h"
#include "packages/http_client.h"
#include "settings/settings.h"
#include "update/version_check.h"

#include <filesystem>

namespace velm {
namespace {

void call(const std::function<void()> &action)
{
    if (action)
        action();
}

} // namespace

VersionCheckOutcome RunVersionCheck(std::string_view markup, const SelfUpdatePlace &place, Downloader &downloader,
                                    ProgressSink &progress, const VersionCheckHost &host)
{
    const std::string version = VersionMarker(DemoPageBody(markup));
    if (version.empty())
        return VersionCheckOutcome::NoMarker;
    if (!IsNewerVersion(version)) {
        if (ReadSetting(kAppKey, "AutoUpdate") == Big5Text("N"))
            return VersionCheckOutcome::AutoUpdateOff;
        call(host.runOnlineUpdate);
        return VersionCheckOutcome::UpdateStarted;
    }

    call(host.showHomePage);
    if (!host.askYesNo || !host.askYesNo(Big5Text(B5("已經有新版Ver") + version + B5("的程式，現在更新嗎?"))))
        return VersionCheckOutcome::Declined;

    const std::string name = InstallerFileName(version);
    const std::string path = AddBackslash(place.programFolder) + name;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    progress.setCaption(B5("下載新版程式中..."));
    progress.show();
    bool fetched = false;
    for (std::size_t k = 0; k < place.mirrors.size() && !fetched; ++k) {
        progress.setCaption(B5("連線主機中...") + std::to_string(k + 1));
        progress.setRange(0, 0);
        fetched = downloader.DownloadFile(place.mirrors[k] + name, path);
    }
    if (!fetched) {
        progress.close();
        if (host.showMessage)
            host.showMessage(Big5Text(B5("下載失敗!")));
        return VersionCheckOutcome::DownloadFailed;
    }
    call(host.processEvents);
    progress.close();
    if (host.showMessage)
        host.showMessage(Big5Text(B5("下載完成,現在開始安裝!")));
    if (host.openInstaller)
        host.openInstaller(path);
    call(host.closeMainWindow);
    return VersionCheckOutcome::InstallerStarted;
}

} // namespace velm
