// What the reader keeps of its own: the store beside the archives, the read marks of the archive open with the
// tree's unread counts and the list's bold rows, the way to the next unread topic, and packages handed over by
// another start of the program or dropped on the window.
#include "shell/main_window.h"

#include "archive/archive_file.h"
#include "base/cp950.h"
#include "base/error.h"
#include "shell/forum_count_delegate.h"
#include "shell/topic_model.h"
#include "shell_widgets/messages.h"
#include "sqlite/sqlite_db.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <charconv>
#include <chrono>

namespace velm {
namespace {

// A topic shown this long counts as read.
constexpr int kReadDelayMs = 2000;
// Up to this many marks the tree's counts are made at once (tens of milliseconds on 200,000 topics); more take
// up to a second there and are made on a thread of their own.
constexpr std::size_t kMarksCountedAtOnce = 20000;

bool inside(QObject *object, const QWidget *ancestor)
{
    for (auto *w = qobject_cast<QWidget *>(object); w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

// The package files among what is dragged: local files named as packages are, in any letter case.
QStringList packagePaths(const QMimeData *mime)
{
    QStringList paths;
    if (!mime)
        return paths;
    for (const QUrl &url : mime->urls()) {
        const QString path = url.toLocalFile();
        if (path.endsWith(QLatin1String(".vlp"), Qt::CaseInsensitive) ||
            path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive))
            paths << path;
    }
    return paths;
}

} // namespace

void TfmMain::openStore()
{
    m_readTimer = new QTimer(this);
    m_readTimer->setObjectName("ReadTimer");
    m_readTimer->setSingleShot(true);
    m_readTimer->setInterval(kReadDelayMs);
    connect(m_readTimer, &QTimer::timeout, this, [this] { guarded([this] { markShownRead(); }); });
    // Scrolled to its end, a page is read at once.
    connect(m_webBrowser1->page(), &QWebEnginePage::scrollPositionChanged, this, [this] {
        if (m_readTimer->isActive() && atPageEnd())
            guarded([this] { markShownRead(); });
    });
    m_marksCountedAtOnce = kMarksCountedAtOnce;
    m_countingDone = new QTimer(this);
    m_countingDone->setInterval(50);
    connect(m_countingDone, &QTimer::timeout, this, [this] { guarded([this] { takeUnreadCounts(); }); });
    m_handedRetry = new QTimer(this);
    m_handedRetry->setSingleShot(true);
    m_handedRetry->setInterval(200);
    connect(m_handedRetry, &QTimer::timeout, this, [this] { guarded([this] { importHandedPackages(); }); });
    m_topicModel->setUnreadTest([this](std::int64_t topicId, const std::string &lastPost, std::int64_t replies) {
        return m_archiveKey && !m_readMarks.isRead(topicId, lastPost, replies);
    });
    m_tv->setItemDelegate(new ForumCountDelegate(m_tv));
    try {
        m_store.emplace(ReaderStore::defaultPath());
        m_storeNotice = m_store->setAsideNotice();
    } catch (const Error &e) {
        m_storeNotice = e.utf8() + "\n這次開啟的期間，已讀標記、我的最愛與最近開啟的資料庫不會保存。";
    }
}

void TfmMain::showStoreNotice()
{
    if (!m_storeNotice.empty())
        ShowMessage(Big5Text::fromUtf8(std::exchange(m_storeNotice, std::string())));
}

ReaderStore *TfmMain::store()
{
    if (!m_store)
        raiseUtf8("讀者資料檔無法使用，這項功能暫停");
    if (!m_archiveKey)
        raiseUtf8("沒有開啟的資料庫");
    return &*m_store;
}

std::string TfmMain::keptArchivePath() const
{
    // The file the user knows: the Access archive when there is one, else the SQLite file read; one name for it.
    QString path = QString::fromStdString(dataSourceOf(m_archive.connectionText()));
    if (!QFileInfo::exists(path))
        path = QString::fromStdString(m_archive.databasePath());
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toStdString();
}

void TfmMain::archiveShown()
{
    m_archiveKey.reset();
    m_readMarks = ReadMarks();
    m_unreadCounts.clear();
    if (m_store && m_archive.connected()) {
        const std::string path = keptArchivePath();
        m_archiveKey = m_store->identify(SampleArchive(m_archive.handle()), path);
        if (path != m_keptArchive)
            m_store->rememberArchive(path);
        m_keptArchive = path;
        m_readMarks = ReadMarks(m_store->readMarks(*m_archiveKey));
        countUnread();
    }
    refreshUnread();
    refreshBookmarks();
}

void TfmMain::countUnread()
{
    if (m_counting.valid())
        m_counting.wait(); // a count of what was open before: its result is of no use now
    m_counting = {};
    m_countingDone->stop();
    if (m_readMarks.all().size() < m_marksCountedAtOnce) {
        m_unreadCounts = UnreadCounts(m_archive.handle(), m_readMarks);
        return;
    }
    // A connection of its own, only reading, on what this window has written by now.
    m_unreadCounts.clear();
    m_countingFrom = m_marksChanged;
    m_counting = std::async(std::launch::async, [path = m_archive.databasePath(), marks = m_readMarks] {
        const sqlite::DatabasePtr archive = sqlite::open(path, SQLITE_OPEN_READONLY);
        sqlite3_busy_timeout(archive.get(), 5000);
        return UnreadCounts(archive.get(), marks);
    });
    m_countingDone->start();
}

void TfmMain::takeUnreadCounts()
{
    if (!m_counting.valid() || m_counting.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_countingDone->stop();
    std::unordered_map<std::int64_t, std::int64_t> counts;
    try {
        counts = std::exchange(m_counting, {}).get();
    } catch (const Error &) {
        // A second connection may be refused where the window's own reads (a read-only medium): counted here.
        counts = UnreadCounts(m_archive.handle(), m_readMarks);
        m_countingFrom = m_marksChanged;
    }
    if (m_countingFrom != m_marksChanged) {
        countUnread(); // topics were read meanwhile: counted again
        return;
    }
    m_unreadCounts = std::move(counts);
    refreshUnread();
}

void TfmMain::refreshUnread()
{
    // A category shows what its forums and sub-categories hold together.
    const std::function<int(QTreeWidgetItem *)> count = [&](QTreeWidgetItem *item) {
        const std::int64_t forumId = item->data(0, Qt::UserRole).toLongLong();
        std::int64_t unread = 0;
        if (forumId > 0) {
            const auto found = m_unreadCounts.find(forumId);
            unread = found == m_unreadCounts.end() ? 0 : found->second;
        }
        for (int i = 0; i < item->childCount(); ++i)
            unread += count(item->child(i));
        item->setData(0, ForumCountDelegate::UnreadRole, static_cast<int>(unread));
        return static_cast<int>(unread);
    };
    for (int i = 0; i < m_tv->topLevelItemCount(); ++i)
        count(m_tv->topLevelItem(i));
    m_topicModel->unreadChanged();
}

void TfmMain::articleShown()
{
    if (m_archiveKey)
        m_readTimer->start();
}

std::int64_t TfmMain::shownTopicId() const
{
    const ArticleVisit *visit = m_history.current();
    if (!visit || m_webBrowser1->url() != m_visitUrl)
        return 0;
    std::int64_t id = 0;
    const std::string &text = visit->topicId;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    return ec == std::errc() && end == text.data() + text.size() ? id : 0;
}

void TfmMain::markShownRead()
{
    m_readTimer->stop();
    const std::int64_t id = shownTopicId();
    if (id <= 0 || !m_archiveKey)
        return; // the view shows no topic of the archive now
    const std::optional<TopicNow> now = TopicState(m_archive.handle(), id);
    if (!now || m_readMarks.isRead(id, now->seen.lastPost, now->seen.replies))
        return;
    markRead({{id, now->seen}});
    if (!m_counting.valid())
        --m_unreadCounts[now->forumId];
    refreshUnread();
}

void TfmMain::markRead(const std::vector<TopicMark> &marks)
{
    store()->markRead(*m_archiveKey, marks);
    ++m_marksChanged;
    for (const TopicMark &mark : marks)
        m_readMarks.set(mark);
}

void TfmMain::markForumsRead(const std::vector<std::int64_t> &forums)
{
    std::vector<TopicMark> marks;
    for (std::int64_t forumId : forums) {
        const std::vector<TopicMark> topics = ForumTopicMarks(m_archive.handle(), forumId);
        marks.insert(marks.end(), topics.begin(), topics.end());
    }
    markRead(marks);
    for (std::int64_t forumId : forums)
        m_unreadCounts[forumId] = 0;
    refreshUnread();
}

bool TfmMain::atPageEnd() const
{
    const QWebEnginePage *page = m_webBrowser1->page();
    const double shown = m_webBrowser1->height() / page->zoomFactor();
    return page->scrollPosition().y() + shown >= page->contentsSize().height() - 2;
}

bool TfmMain::listUnreadFrom(int row)
{
    if (!m_topic.isOpen())
        return false;
    const int id = m_topic.findField("TOPIC_ID");
    const int lastPost = m_topic.findField("T_LAST_POST");
    const int replies = m_topic.findField("T_REPLIES");
    if (id < 0 || lastPost < 0 || replies < 0)
        return false;
    for (long long r = std::max(row, 0);; ++r) {
        if (r >= m_topic.fetchedRows() && (m_topic.allFetched() || m_topic.fetchMore(TopicGridModel::kBlock) == 0))
            return false;
        if (!m_readMarks.isRead(m_topic.valueAt(r, id).toInt(), m_topic.valueAt(r, lastPost).toText(),
                                m_topic.valueAt(r, replies).toInt())) {
            m_topic.moveTo(r);
            return true;
        }
    }
}

void TfmMain::goToNextUnread()
{
    if (!m_archiveKey)
        return;
    markShownRead(); // the topic left was read
    if (m_topic.isOpen() && !m_topic.isEmpty() && listUnreadFrom(static_cast<int>(m_topic.recNo()) + 1))
        return;
    // The forums after the one listed, in the tree's order, then from the top again.
    std::vector<QTreeWidgetItem *> forums;
    std::size_t current = 0;
    for (QTreeWidgetItemIterator it(m_tv); *it; ++it)
        if (const std::int64_t forumId = (*it)->data(0, Qt::UserRole).toLongLong(); forumId > 0) {
            if (forumId == m_currentForumId)
                current = forums.size();
            forums.push_back(*it);
        }
    for (std::size_t step = 1; step <= forums.size(); ++step) {
        QTreeWidgetItem *forum = forums[(current + step) % forums.size()];
        const std::int64_t forumId = forum->data(0, Qt::UserRole).toLongLong();
        // While the counts are being made, every forum is looked into.
        if (const auto found = m_unreadCounts.find(forumId);
            !m_counting.valid() && (found == m_unreadCounts.end() || found->second <= 0))
            continue;
        if (m_tv->currentItem() == forum) {
            m_currentForumId = 0; // listed anew even when a search replaced its list
            tvChange(forum);
        } else {
            m_tv->setCurrentItem(forum);
        }
        m_tv->scrollToItem(forum);
        if (listUnreadFrom(0))
            return;
    }
    setStatusText(toCp950("沒有未讀的主題了"));
}

bool TfmMain::keepingEvent(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier || !inside(watched, m_webBrowser1) ||
            !atPageEnd())
            return false;
        guarded([this] { goToNextUnread(); });
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (static_cast<QWidget *>(watched)->window() != this || packagePaths(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = packagePaths(drop->mimeData());
        if (static_cast<QWidget *>(watched)->window() != this || paths.isEmpty())
            return false;
        drop->acceptProposedAction();
        for (const QString &path : paths)
            importHandedPackage(path);
        return true;
    }
    default:
        return false;
    }
}

void TfmMain::importHandedPackage(const QString &path)
{
    m_handedPackages.push_back(path);
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    QTimer::singleShot(0, this, [this] { guarded([this] { importHandedPackages(); }); });
}

void TfmMain::importHandedPackages()
{
    // A dialog or an import under way first: the package waits its turn.
    if (!m_firstShowFinished || m_importing || QApplication::activeModalWidget()) {
        if (!m_handedPackages.empty())
            m_handedRetry->start();
        return;
    }
    while (!m_handedPackages.empty()) {
        const std::string path = m_handedPackages.front().toStdString();
        m_handedPackages.erase(m_handedPackages.begin());
        guarded([&] { importPackageFile(path); });
    }
}

} // namespace velm
