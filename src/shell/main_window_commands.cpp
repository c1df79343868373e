// The main window's commands: package import and online update, the announcement pane and its version
// check, the searches, the preferences and the package home page.
#include "shell/main_window.h"

#include "base/cp950.h"
#include "base/error.h"
#include "codeconv/typed_text.h"
#include "packages/choose_package.h"
#include "packages/online_update.h"
#include "packages/startup_import.h"
#include "prefs/config_dialog.h"
#include "search/search_commands.h"
#include "settings/settings.h"
#include "shell/article_view.h"
#include "shell/topic_model.h"
#include "shell_core/startup.h"
#include "shell_widgets/messages.h"
#include "shell_widgets/progress_window.h"
#include "update/desktop_open.h"
#include "update/self_update.h"
#include "update/version_check.h"
#include "websearch/offline_page.h"
#include "websearch/web_search_dialog.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QWebEngineView>

#include <utility>

namespace velm {

void TfmMain::showOfflinePage(QWebEngineView *view, const QWebEngineLoadingInfo &loading)
{
    const std::optional<QString> html = OfflinePageHtml(loading);
    if (!html)
        return;
    if (view == m_webBrowserDemo)
        m_demoOfflinePage = true;
    view->setHtml(*html);
}

CallbackImportHost TfmMain::importHost(bool withTree)
{
    CallbackImportHost::Callbacks callbacks{[this](const std::string &text) { setStatusText(text); },
                                            m_progress,
                                            [] { QCoreApplication::processEvents(); },
                                            {},
                                            {}};
    if (withTree) {
        callbacks.buildForumTree = [this] { BuildForumTree(); };
        callbacks.showMessage = [](const Big5Text &text) { ShowMessage(text); };
    }
    return CallbackImportHost(std::move(callbacks));
}

bool TfmMain::importStartupPackage()
{
    std::vector<std::string> arguments;
    for (const QString &argument : m_options.arguments)
        arguments.push_back(argument.toStdString());
    CallbackImportHost host = importHost(true);
    bool treeBuilt = false;
    // An import error is shown; the first show then goes on and builds the tree.
    guarded([&] {
        changeArchive([&] {
            treeBuilt =
                ImportStartupPackage(joinArguments(arguments), m_options.programFolder, m_archive, m_package, host);
        });
    });
    return treeBuilt;
}

void TfmMain::ToolButton1Click()
{
    RequireWritableArchive(m_archive); // said before a file is asked for
    if (const std::optional<std::string> picked = ChoosePackageFile(this, ChoosePackageTitle()))
        importPackageFile(*picked);
}

void TfmMain::importPackageFile(const std::string &chosen)
{
    RequireWritableArchive(m_archive); // a package handed over or dropped meets the same refusal
    m_package.close();
    m_package.setConnectionText(chosen);
    const std::string recorded = RecordedPackageTitle(chosen, m_archive);
    if (!recorded.empty() && !AskYesNo(Big5Text(B5("補充包 ") + recorded + B5(" 已經匯入過了，要再匯入一次嗎？"))))
        return;
    // It ends as the start-up import does: the tree built anew, keeping the chosen forum, and the success shown.
    CallbackImportHost host = importHost(true);
    changeArchive([&] {
        std::string why;
        if (!ImportChosenPackage(m_archive, m_package, host, &why))
            raiseUtf8("補充包無法展開: " + (why.empty() ? chosen : why));
        FinishWindowImport(host);
    });
}

void TfmMain::changeArchive(const std::function<void()> &change)
{
    // Rows merged before an error stay merged: the names are read again whatever the outcome.
    const bool nested = std::exchange(m_importing, true);
    try {
        change();
    } catch (...) {
        m_importing = nested;
        m_topicModel->resetMembers();
        throw;
    }
    m_importing = nested;
    m_topicModel->resetMembers();
}

void TfmMain::ToolButton15Click()
{
    ToolButton15Click(nullptr);
}

void TfmMain::ToolButton15Click(QObject *sender)
{
    const UpdateStart start = sender == m_webBrowserDemo ? UpdateStart::Automatic : UpdateStart::Toolbar;
    // Without an archive there is nothing to update; the failed open was reported already.
    if (start == UpdateStart::Automatic && !m_archive.connected())
        return;
    CallbackImportHost host = importHost(false);
    OnlineUpdateResult result;
    changeArchive([&] {
        result = RunOnlineUpdate(start, {m_forumBaseUrl, m_downloadMirrors, m_options.programFolder}, m_idHTTP1,
                                 m_archive, m_package, host, {AskYesNo, ShowMessage});
    });
    // Asked for from the toolbar, a list that could not be fetched is said, with the server and why.
    if (start == UpdateStart::Toolbar && result.outcome == UpdateOutcome::ListUnavailable) {
        const std::string where = ServerName(QUrl(QString::fromStdString(m_forumBaseUrl))).toStdString();
        const std::string why = m_idHTTP1.lastError();
        raiseUtf8("無法連線到 " + where + " 取得補充包清單" + (why.empty() ? std::string() : "（" + why + "）") +
                  "，離線閱讀不受影響");
    }
}

bool TfmMain::WebBrowserDemoBeforeNavigate2(const QUrl &url)
{
    // The offline page the pane was just given is the program's own.
    if (url.scheme() == QLatin1String("data") && std::exchange(m_demoOfflinePage, false))
        return false;
    return DemoPaneBeforeNavigate(url);
}

void TfmMain::WebBrowserDemoDocumentComplete(const QUrl &url)
{
    const std::string address = url.toString(QUrl::RemoveFragment | QUrl::FullyEncoded).toStdString();
    if (!IsDemoPage(address))
        return;
    if (!m_firstShowFinished) {
        // The package update the check may start needs the archive that the first show opens.
        m_demoCheckWaiting = url;
        return;
    }
    // The engine rewrites the markup it shows (attribute names, quotes): the marker is read as served.
    std::string markup;
    if (!m_idHTTP1.get(address, markup))
        return;
    SilentProgress silent;
    ProgressSink &progress = m_progress ? static_cast<ProgressSink &>(*m_progress) : silent;
    const VersionCheckHost host{
        [this] { ToolButton7Click(); },
        [this] { ToolButton15Click(m_webBrowserDemo); },
        AskYesNo,
        ShowMessage,
        [] { QCoreApplication::processEvents(); },
        [](const std::string &path) { OpenOnDesktop(QUrl::fromLocalFile(QString::fromStdString(path))); },
        [this] { close(); }};
    RunVersionCheck(markup, {m_downloadMirrors, m_options.programFolder}, m_idHTTP1, progress, host);
}

void TfmMain::IdHTTP1WorkBegin(std::int64_t total)
{
    if (m_progress)
        velm::IdHTTP1WorkBegin(*m_progress, total);
}

void TfmMain::IdHTTP1Work(std::int64_t count)
{
    if (m_progress)
        velm::IdHTTP1Work(*m_progress, count);
}

void TfmMain::ToolButton3Click()
{
    AdvancedSearchClick(this, *this);
}

void TfmMain::ToolButton9Click()
{
    QuickSearchClick(*this, qTypedToBig5(m_editSearch->text()));
}

void TfmMain::ToolButton11Click()
{
    ShowWebSearchDialog(this);
}

void TfmMain::ToolButton13Click()
{
    ShowConfigDialog(this);
    applyGridColumnWidths();
    static_cast<ArticleWebPage *>(m_webBrowser1->page())->setShowPictures(ShowPictures());
}

void TfmMain::ToolButton7Click()
{
    m_webBrowser1->setUrl(QUrl(QString::fromStdString(m_forumBaseUrl + "velmpack/index.html")));
}

} // namespace velm
