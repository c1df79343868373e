// The archive the main window reads, and the place a next start opens again: the archive chosen, the
// forum and the topic.
#include "shell/main_window.h"

#include "archive/archive_file.h"
#include "base/error.h"
#include "settings/settings.h"
#include "shell/topic_model.h"
#include "shell_core/startup.h"
#include "shell_widgets/file_dialog.h"
#include "shell_widgets/messages.h"
#include "shell_widgets/progress_window.h"

#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <charconv>
#include <filesystem>

namespace velm {
namespace {

// Closes the progress window when the step that may have shown it ends, however it ends.
class ProgressCloser {
public:
    explicit ProgressCloser(TFormProgress *progress) : m_progress(progress) {}
    ~ProgressCloser()
    {
        if (m_progress)
            m_progress->close();
    }
    ProgressCloser(const ProgressCloser &) = delete;
    ProgressCloser &operator=(const ProgressCloser &) = delete;

private:
    TFormProgress *m_progress;
};

// An archive the reader can show holds the five forum tables.
void requireForumTables(const Connection &archive, const std::string &path)
{
    for (const char *table : {"FORUM_CATEGORY", "FORUM_FORUM", "FORUM_TOPICS", "FORUM_REPLY", "FORUM_MEMBERS"}) {
        try {
            archive.prepare(std::string("select * from ") + table + " where 0");
        } catch (const Error &e) {
            raiseUtf8("不是討論區資料庫: " + path + " (" + e.utf8() + ")");
        }
    }
}

// A stored forum or topic number: a whole number above 0, anything else (absent, text) reads as 0.
std::int64_t storedId(const char *name)
{
    const std::string text = ReadSetting(kAppKey, name).bytes();
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
}

// The archive path is kept as a file address, which is plain ASCII whatever the path holds; anything
// else stored there reads as absent.
std::string storedArchivePath()
{
    const QUrl address =
        QUrl::fromEncoded(QByteArray::fromStdString(ReadSetting(kAppKey, "LastArchive").bytes()), QUrl::StrictMode);
    return address.isValid() && address.isLocalFile() ? address.toLocalFile().toStdString() : std::string();
}

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(a), std::filesystem::path(b), ec) && !ec;
}

} // namespace

bool TfmMain::OpenArchive(Connection &connection, const std::string &connectionText)
{
    std::string text = connectionText;
    if (text.empty()) {
        // The first filter, the one the dialog starts with, lists both kinds of archive.
        const std::optional<QString> file = ChooseExistingFile(
            this, m_openDialogTitle,
            {QStringLiteral("資料庫 (*.mdb *.MDB *.sqlite *.SQLITE)"),
             QStringLiteral("Access 資料庫檔案 (*.mdb *.MDB)"), QStringLiteral("SQLite (*.sqlite *.SQLITE)")});
        text = file ? file->toStdString() : std::string();
    }
    if (text.empty())
        return false;
    SilentProgress silent;
    ProgressSink *progress = m_progress ? static_cast<ProgressSink *>(m_progress) : &silent;
    const ProgressCloser closer(m_progress);
    if (&connection != &m_archive) {
        connection.close();
        connection.setConnectionText(text);
        connection.open(progress);
        return true;
    }

    // The file is tried on a connection of its own first: one that is no archive leaves the open archive,
    // the tree, the topic list and the page as they were.
    std::string databasePath;
    {
        Connection trial(Connection::Mode::Archive);
        trial.setConnectionText(text);
        trial.open(progress);
        requireForumTables(trial, dataSourceOf(text));
        databasePath = trial.databasePath();
    }

    stopArchiveWork();
    detachedTopicChange([&] { m_archive.close(); });
    m_currentForumId = 0;
    m_lastForumId = 0; // the place kept belongs to the archive closed
    m_lastTopicId.clear();
    m_topicModel->resetMembers();
    m_webBrowser1->setUrl(QUrl(QStringLiteral("about:blank"))); // no page of the archive closed stays
    m_history.clear();                                          // nor a way back to one
    m_searchKeywords.clear();
    // The converted file the trial opened: an Access archive is converted, or asked about, once.
    m_archive.setConnectionText(databasePath);
    try {
        m_archive.open(progress);
    } catch (...) {
        m_archive.setConnectionText(text);
        m_tv->clear(); // nothing is open: no tree of the archive closed stays either
        showArchiveState();
        throw;
    }
    m_archive.setConnectionText(text);
    showArchiveState();
    guarded([this] { startIndexBuild(); });
    return true;
}

void TfmMain::showArchiveState()
{
    // The caption names the file read, and says so when it takes no packages: where the user looks first. The
    // design caption comes last, which the platform then does not add a second time.
    QString caption = MainCaption();
    if (m_archive.connected()) {
        QString file = QFileInfo(QString::fromStdString(m_archive.databasePath())).fileName();
        if (m_archive.readOnly())
            file += QStringLiteral(" (唯讀)");
        caption = file + QStringLiteral(" - ") + caption;
    }
    setWindowTitle(caption);
}

void TfmMain::ToolButton2Click()
{
    m_openDialogTitle = QStringLiteral("選擇資料庫來源MDB檔");
    if (OpenArchive(m_archive, {}))
        archiveChosen();
}

void TfmMain::archiveChosen()
{
    // The next start opens this archive again, unless it is the start-up archive (or its converted file).
    const std::string chosen = m_archive.connectionText();
    const std::string startupMdb = dataSourceOf(startupConnectionText(m_options.programFolder));
    const std::string startupSqlite = std::filesystem::path(startupMdb).replace_extension(".sqlite").string();
    m_lastArchive = sameFile(chosen, startupMdb) || sameFile(chosen, startupSqlite) ? std::string() : chosen;
    BuildForumTree();
    writePlace();
}

bool TfmMain::openStartArchive(const std::string &startupText)
{
    const std::string last = storedArchivePath();
    if (last.empty()) {
        OpenArchive(m_archive, startupText);
        return true;
    }
    // An archive that is gone is no error: the start is the usual one, without the place kept in it.
    if (QFileInfo(QString::fromStdString(last)).isFile()) {
        bool opened = false;
        guarded([&] { opened = OpenArchive(m_archive, last); });
        if (opened) {
            m_lastArchive = last;
            return true;
        }
    }
    OpenArchive(m_archive, startupText);
    return false;
}

void TfmMain::restorePlace()
{
    const std::int64_t forumId = storedId("LastForumID");
    const std::int64_t topicId = storedId("LastTopicID");
    QTreeWidgetItem *forum = forumNode(forumId);
    if (forum) {
        for (QTreeWidgetItem *up = forum->parent(); up; up = up->parent())
            up->setExpanded(true);
        forum->setExpanded(true);
        m_tv->setCurrentItem(forum); // lists its topics
        m_tv->scrollToItem(forum);
    }
    if (topicId <= 0)
        return;
    if (forum && m_topic.isOpen())
        m_topic.locate("TOPIC_ID", Value::integer(topicId)); // its row in the list, when it is there
    const std::string id = std::to_string(topicId);
    LoadArticle(id);
    // Shown now, it is not replaced by the list's row when the wait ends; a topic that is gone leaves the
    // list's row to be shown as after a click on the forum.
    if (const ArticleVisit *visit = m_history.current(); visit && visit->topicId == id)
        m_timer1->stop();
}

void TfmMain::rememberForum(std::int64_t forumId)
{
    if (forumId <= 0 || forumId == m_lastForumId)
        return;
    m_lastForumId = forumId;
    WriteSetting(kAppKey, "LastForumID", Big5Text(std::to_string(forumId)));
}

void TfmMain::rememberTopic(const std::string &topicId)
{
    if (topicId.empty() || topicId == m_lastTopicId)
        return;
    m_lastTopicId = topicId;
    WriteSetting(kAppKey, "LastTopicID", Big5Text(topicId));
}

void TfmMain::writePlace()
{
    const std::string archive =
        m_lastArchive.empty() ? std::string()
                              : QUrl::fromLocalFile(QString::fromStdString(m_lastArchive)).toEncoded().toStdString();
    WriteSetting(kAppKey, "LastArchive", Big5Text(archive));
    WriteSetting(kAppKey, "LastForumID", Big5Text(m_lastForumId > 0 ? std::to_string(m_lastForumId) : std::string()));
    WriteSetting(kAppKey, "LastTopicID", Big5Text(m_lastTopicId));
}

} // namespace velm
