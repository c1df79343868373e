#pragma once
// TfmMainProbe: how tests look inside the main window — its counters, controls, connections and the pane
// sizes — without the window offering them to the rest of the program. Only test programs link the
// velm_shell_testing library that puts this header on their include path.
#include "shell/main_window.h"

#include <QLabel>
#include <QTimer>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velm {

class TfmMainProbe {
public:
    explicit TfmMainProbe(TfmMain &window) : m_window(window) {}

    // The servers of the online update, in the order they are tried; tests fix that order.
    const std::vector<std::string> &DownloadMirrors() const { return m_window.m_downloadMirrors; }
    void setDownloadMirrors(std::vector<std::string> mirrors) { m_window.m_downloadMirrors = std::move(mirrors); }
    HttpClient &IdHTTP1() { return m_window.m_idHTTP1; }

    // The panes: their sizes now and the ones the full-screen toggle brings back.
    int SavedPanel4Width() const { return m_window.m_savedPanel4Width; }
    int SavedPanel3Height() const { return m_window.m_savedPanel3Height; }
    int panel4Width() const { return m_window.panel4Width(); }
    int panel3Height() const { return m_window.panel3Height(); }
    void setPanel4Width(int width) { m_window.setPanel4Width(width); }
    void setPanel3Height(int height) { m_window.setPanel3Height(height); }
    WindowLayout currentLayout() const { return m_window.currentLayout(); }

    // How often the tree was built, the topic list queried and an article loaded; the forum shown.
    int treeBuilds() const { return m_window.m_treeBuilds; }
    std::int64_t CurrentForumId() const { return m_window.m_currentForumId; }
    int topicQueries() const { return m_window.m_topicQueries; }
    int articleLoads() const { return m_window.m_articleLoads; }
    QTimer *Timer1() const { return m_window.m_timer1; }
    TopicGridModel *topicModel() const { return m_window.m_topicModel; }
    QString statusText() const { return m_window.m_statusText->text(); }

    // The reading aids.
    const ArticleHistory &history() const { return m_window.m_history; }
    double articleZoom() const { return m_window.m_articleZoom; }
    FindBar *findBar() const { return m_window.m_findBar; }
    const std::vector<std::string> &searchKeywords() const { return m_window.m_searchKeywords; }

    // The connections, the topic query and the controls.
    Connection &ADOConnection1() { return m_window.m_archive; }
    Connection &ADOConnection2() { return m_window.m_package; }
    Query &ADOTopic() { return m_window.m_topic; }
    QTreeWidget *tv() const { return m_window.m_tv; }
    QTableView *DBGrid1() const { return m_window.m_grid; }
    QWebEngineView *WebBrowser1() const { return m_window.m_webBrowser1; }
    QWebEngineView *WebBrowserDemo() const { return m_window.m_webBrowserDemo; }
    QToolBar *ToolBar1() const { return m_window.m_toolBar; }
    QLineEdit *EditSearch() const { return m_window.m_editSearch; }

    // What the reader keeps: how long a topic is shown before it is read, the archive's key in the store.
    void setReadDelay(int milliseconds) { m_window.m_readTimer->setInterval(milliseconds); }
    void setMarksCountedAtOnce(std::size_t marks) { m_window.m_marksCountedAtOnce = marks; }
    const std::optional<ArchiveKey> &archiveKey() const { return m_window.m_archiveKey; }
    QTabWidget *TreeTabs() const { return m_window.m_treeTabs; }
    QTreeWidget *BookmarkList() const { return m_window.m_bookmarkList; }

private:
    TfmMain &m_window;
};

inline TfmMainProbe probe(TfmMain &window)
{
    return TfmMainProbe(window);
}

} // namespace velm
