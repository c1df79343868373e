// The main window's searches off its thread: rows filling the topic list as they come, Escape stopping
// them; the suggestions under the quick search box; the text index built in the background.
#include "shell/main_window.h"

#include "archive/forum_text.h"
#include "base/cp950.h"
#include "base/hooks.h"
#include "base/qtext.h"
#include "codeconv/typed_text.h"
#include "search/indexed_search.h"
#include "shell/topic_model.h"
#include "shell_widgets/messages.h"
#include "textindex/text_index.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QStatusBar>

#include <sqlite3.h>

namespace velm {
namespace {

// What the window's thread runs for a search thread's news; dropped when the window is gone.
template <typename F> void post(QObject *window, F &&work)
{
    QMetaObject::invokeMethod(window, std::forward<F>(work), Qt::QueuedConnection);
}

} // namespace

void TfmMain::buildSearchAids()
{
    m_searchWorker = std::make_unique<SearchWorker>();
    m_suggestionWorker = std::make_unique<SearchWorker>();
    m_suggestionModel = new QStandardItemModel(this);
    m_suggestions = new QCompleter(m_suggestionModel, this);
    m_suggestions->setObjectName("EditSearchSuggestions");
    // Set on the box as its widget only: choosing a subject opens the topic and leaves the typed text.
    m_suggestions->setWidget(m_editSearch);
    m_suggestions->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    connect(m_suggestions, qOverload<const QModelIndex &>(&QCompleter::activated), this,
            [this](const QModelIndex &index) {
                const qlonglong id = index.data(Qt::UserRole).toLongLong();
                guarded([&] { LoadArticle(std::to_string(id)); });
            });
    connect(m_editSearch, &QLineEdit::textEdited, this, [this](const QString &text) { EditSearchChange(text); });
    m_indexStatus = new QLabel(m_statusText->parentWidget());
    m_indexStatus->setObjectName("IndexStatus");
    static_cast<QStatusBar *>(m_statusText->parentWidget())->addPermanentWidget(m_indexStatus);
    m_indexStatus->hide();
}

void TfmMain::runTopicSearch(const TopicSearch &search, const std::function<void(bool found)> &finished)
{
    stopSearch();
    const Connection::FileAccess file = m_archive.fileAccess();
    const std::uint64_t generation = ++m_searchGeneration;
    m_searchRunning = true;
    m_searchKind = search.kind;
    m_searchFinished = finished;
    setStatusText(B5("搜尋中…"));
    // ADOTopic takes the search's text; its rows come from the search's thread.
    changeTopicQuery([&](Query &topic) {
        topic.close();
        topic.setSql(search.sql);
    });
    static const std::vector<std::string> columns(std::begin(kTopicCellColumns), std::end(kTopicCellColumns));
    m_searchWorker->start(
        file,
        [this, search, generation](Connection &archive, SearchCancel &cancel) {
            const bool ended = RunTopicSearch(archive, search, columns, cancel, [&](TopicRows &&block) {
                post(this, [this, generation, rows = std::make_shared<TopicRows>(std::move(block))] {
                    guarded([&] { searchRowsArrived(generation, *rows); });
                });
            });
            if (ended)
                post(this, [this, generation] { guarded([&] { searchEnded(generation); }); });
        },
        [this, generation](const std::string &utf8) {
            post(this, [this, generation, utf8] { guarded([&] { searchFailed(generation, utf8); }); });
        });
}

bool TfmMain::stopSearch()
{
    if (!m_searchRunning)
        return false;
    m_searchRunning = false;
    m_searchFinished = {};
    ++m_searchGeneration;
    m_searchWorker->cancel();
    // The rows found so far stay listed.
    if (m_topic.isOpen())
        m_topic.endRows();
    return true;
}

void TfmMain::cancelTopicSearch()
{
    if (stopSearch())
        setStatusText(
            toCp950("已停止搜尋，列出 " + std::to_string(m_topic.isOpen() ? m_topic.rowCount() : 0) + " 篇主題"));
}

void TfmMain::searchRowsArrived(std::uint64_t generation, TopicRows &block)
{
    if (generation != m_searchGeneration)
        return;
    if (!m_topic.isOpen()) {
        // The first block brings the columns: the grid starts on the first row, as after an open.
        detachedTopicChange([&] {
            m_topic.openWithRows(std::move(block.names), std::move(block.types));
            m_topic.addRows(std::move(block.rows));
        });
        return;
    }
    m_topic.addRows(std::move(block.rows));
    m_topicModel->rowsArrived();
}

void TfmMain::searchEnded(std::uint64_t generation)
{
    if (generation != m_searchGeneration)
        return;
    m_searchRunning = false;
    if (m_topic.isOpen())
        m_topic.endRows();
    m_topicModel->rowsArrived();
    const bool found = m_topic.isOpen() && !m_topic.isEmpty();
    if (!found && m_searchKind == TopicSearch::Kind::Advanced)
        changeTopicQuery([](Query &topic) { topic.close(); });
    if (const auto finished = std::exchange(m_searchFinished, {}))
        finished(found);
}

void TfmMain::searchFailed(std::uint64_t generation, const std::string &utf8)
{
    if (generation != m_searchGeneration)
        return;
    m_searchRunning = false;
    m_searchFinished = {};
    setStatusText({});
    changeTopicQuery([](Query &topic) { topic.close(); });
    // As when it runs on the window's thread, a rejected advanced search leaves its statement on the clipboard.
    if (m_searchKind == TopicSearch::Kind::Advanced)
        hooks::copyToClipboard(m_topic.sql());
    raiseUtf8(utf8);
}

void TfmMain::EditSearchChange(const QString &text)
{
    const std::uint64_t generation = ++m_suggestionGeneration;
    // Two characters at least: fewer would list nearly every subject.
    if (text.size() < 2 || !m_archive.connected()) {
        m_suggestionWorker->cancel();
        m_suggestions->popup()->hide();
        return;
    }
    const std::string typed = qTypedToBig5(text);
    m_suggestionWorker->start(
        m_archive.fileAccess(),
        [this, typed, generation](Connection &archive, SearchCancel &cancel) {
            Query query(&archive);
            query.setSql(SuggestionSql(archive.handle(), typed));
            query.open();
            std::vector<std::pair<std::int64_t, QString>> topics;
            for (; !query.eof() && !cancel.cancelled(); query.next())
                topics.emplace_back(
                    query.field(0).asInteger(),
                    qFromCp950(Big5Text(SubjectText(query.field(1).asString(), query.field(2).value()))));
            if (!cancel.cancelled())
                post(this, [this, generation, topics] { showSuggestions(generation, topics); });
        },
        // A suggestion that cannot be had is no error of the user's: the box simply offers none.
        [](const std::string &) {});
}

void TfmMain::showSuggestions(std::uint64_t generation, const std::vector<std::pair<std::int64_t, QString>> &topics)
{
    if (generation != m_suggestionGeneration)
        return;
    m_suggestionModel->clear();
    for (const auto &[id, subject] : topics) {
        auto *item = new QStandardItem(subject);
        item->setData(QVariant::fromValue<qlonglong>(id), Qt::UserRole);
        item->setEditable(false);
        m_suggestionModel->appendRow(item);
    }
    if (topics.empty())
        m_suggestions->popup()->hide();
    else
        m_suggestions->complete();
}

void TfmMain::startIndexBuild()
{
    m_indexBuilder.reset();
    if (!m_archive.connected() || m_archive.fileAccess().readOnly)
        return;
    sqlite3 *db = m_archive.handle();
    if (!textindex::indexable(db))
        return;
    const textindex::Status status = textindex::status(db);
    if (status.merged && status.pending == 0)
        return;
    m_indexStatus->setText(QStringLiteral("建立全文索引…"));
    m_indexStatus->show();
    textindex::IndexBuilder::Events events;
    events.progress = [this](int percent) {
        post(this, [this, percent] { m_indexStatus->setText(QStringLiteral("建立全文索引 %1%").arg(percent)); });
    };
    events.done = [this] { post(this, [this] { m_indexStatus->hide(); }); };
    events.failed = [this](const std::string &utf8) {
        post(this, [this, utf8] {
            m_indexStatus->setText(QStringLiteral("全文索引無法建立：") + QString::fromStdString(utf8));
        });
    };
    m_indexBuilder = std::make_unique<textindex::IndexBuilder>(m_archive.fileAccess().path, std::move(events));
}

void TfmMain::stopArchiveWork()
{
    stopSearch();
    m_indexBuilder.reset();
    if (m_indexStatus)
        m_indexStatus->hide();
    if (m_searchWorker)
        m_searchWorker->closeArchive();
    if (m_suggestionWorker)
        m_suggestionWorker->closeArchive();
}

} // namespace velm
