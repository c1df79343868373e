// The article view's reading aids: back and forward through the topics shown, the find bar, the zoom, and
// the keywords of a search marked in the pages of the topics it found.
#include "shell/main_window.h"

#include "article/keyword_highlight.h"
#include "base/cp950.h"
#include "base/error.h"
#include "settings/settings.h"
#include "shell/article_view.h"
#include "shell/find_bar.h"
#include "shell_core/layout.h"
#include "shell_widgets/messages.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QWebEngineContextMenuRequest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWheelEvent>

#include <utility>

namespace velm {
namespace {

bool inside(QObject *object, const QWidget *ancestor)
{
    for (auto *w = qobject_cast<QWidget *>(object); w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

} // namespace

void TfmMain::buildReadingAids(QWidget *findBarParent)
{
    m_findBar = new FindBar(m_webBrowser1->page(), findBarParent);

    const auto command = [this](const QString &text, const QList<QKeySequence> &keys, auto handler) {
        auto *action = new QAction(text, this);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [handler] { guarded([&] { handler(); }); });
        addAction(action);
    };
    command(QStringLiteral("上一頁"), {QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_Back)},
            [this] { goBack(); });
    command(QStringLiteral("下一頁"), {QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::Key_Forward)},
            [this] { goForward(); });
    command(QStringLiteral("尋找"), {QKeySequence(Qt::CTRL | Qt::Key_F)}, [this] { m_findBar->open(); });
    command(QStringLiteral("尋找下一個"), {QKeySequence(Qt::Key_F3)}, [this] { findKeywordNext(); });
    command(QStringLiteral("放大"), {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
            [this] { zoomArticle(1); });
    command(QStringLiteral("縮小"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { zoomArticle(-1); });
    command(QStringLiteral("實際大小"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { zoomArticle(0); });

    m_webBrowser1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_webBrowser1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { guarded([&] { showArticleMenu(position); }); });
    connect(m_webBrowser1, &QWebEngineView::loadFinished, this,
            [this](bool ok) { guarded([&] { articleLoaded(ok); }); });

    if (const std::optional<double> zoom = parseArticleZoom(ReadSetting(kAppKey, "ArticleZoom").bytes()))
        m_articleZoom = *zoom;
    m_webBrowser1->setZoomFactor(m_articleZoom);
}

bool TfmMain::readingEvent(QObject *watched, QEvent *event)
{
    if (static_cast<QWidget *>(watched)->window() != this)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::BackButton && mouse->button() != Qt::ForwardButton)
            return false;
        if (event->type() == QEvent::MouseButtonPress)
            guarded([&] { mouse->button() == Qt::BackButton ? goBack() : goForward(); });
        // The page's engine never gets them: its own history is not the reader's.
        return true;
    }
    case QEvent::Wheel: {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier) || !inside(watched, m_webBrowser1))
            return false;
        if (const int delta = wheel->angleDelta().y(); delta != 0)
            guarded([&] { zoomArticle(delta > 0 ? 1 : -1); });
        return true;
    }
    default:
        return false;
    }
}

void TfmMain::showArticleMenu(const QPoint &position)
{
    // Only what works on a post, in the reader's language: the engine's own menu offers saving, page source
    // and new windows, which lead nowhere here, and history moves that would leave the reader's history.
    const QWebEngineContextMenuRequest *request = m_webBrowser1->lastContextMenuRequest();
    const QUrl link = request ? request->linkUrl() : QUrl();
    auto *menu = new QMenu(m_webBrowser1);
    menu->setObjectName("ArticleMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto item = [&](const QString &text, bool enabled, std::function<void()> handler) {
        QAction *action = menu->addAction(text);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [handler] { guarded([&] { handler(); }); });
    };
    item(QStringLiteral("複製"), request && !request->selectedText().isEmpty(),
         [this] { m_webBrowser1->triggerPageAction(QWebEnginePage::Copy); });
    item(QStringLiteral("複製連結網址"), link.isValid(),
         [link] { QGuiApplication::clipboard()->setText(link.toString()); });
    menu->addSeparator();
    item(QStringLiteral("上一頁"), canGoBack(), [this] { goBack(); });
    item(QStringLiteral("下一頁"), m_history.canGoForward(), [this] { goForward(); });
    menu->addSeparator();
    item(QStringLiteral("全選"), true, [this] { m_webBrowser1->triggerPageAction(QWebEnginePage::SelectAll); });
    menu->popup(m_webBrowser1->mapToGlobal(position));
}

bool TfmMain::goBack()
{
    return moveInHistory(true);
}

bool TfmMain::goForward()
{
    return moveInHistory(false);
}

bool TfmMain::canGoBack() const
{
    return m_history.current() && (!m_showingVisit || m_history.canGoBack());
}

bool TfmMain::moveInHistory(bool back)
{
    if (back ? !canGoBack() : !m_history.canGoForward())
        return false;
    rememberScroll();
    // Away from the topics, the way back leads first to the one the user left.
    const ArticleVisit visit = *(back && !m_showingVisit ? m_history.current()
                                 : back                  ? m_history.back()
                                                         : m_history.forward());
    QByteArray html;
    if (!buildArticle(visit, html))
        return true; // the topic is no longer in the archive: the view keeps its page
    showArticle(html, QPointF(visit.scrollX, visit.scrollY));
    return true;
}

bool TfmMain::buildArticle(const ArticleVisit &visit, QByteArray &html)
{
    if (!m_article.prepared())
        prepareArticleQueries();
    Big5Text page;
    if (!m_article.build(visit.topicId, m_forumBaseUrl, page))
        return false;
    std::string utf8 = ArticlePageUtf8(page);
    if (!visit.keywords.empty())
        utf8 = HighlightKeywords(utf8, visit.keywords);
    html = QByteArray(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return true;
}

void TfmMain::showArticle(const QByteArray &html, std::optional<QPointF> scroll)
{
    m_scrollAfterLoad = scroll && (scroll->x() > 0 || scroll->y() > 0) ? scroll : std::nullopt;
    m_visitUrl = m_articlePages->publish(html);
    m_showingVisit = true;
    m_webBrowser1->setUrl(m_visitUrl);
    if (const ArticleVisit *visit = m_history.current())
        rememberTopic(visit->topicId);
    followShownTopic();
    articleShown();
}

void TfmMain::rememberScroll()
{
    ArticleVisit *visit = m_history.current();
    // A page still on its way to where it stood keeps that place.
    if (!visit || m_scrollAfterLoad || m_visitUrl.isEmpty() || m_webBrowser1->url() != m_visitUrl)
        return;
    const QPointF at = m_webBrowser1->page()->scrollPosition();
    visit->scrollX = at.x();
    visit->scrollY = at.y();
}

void TfmMain::articleLoaded(bool ok)
{
    if (m_webBrowser1->zoomFactor() != m_articleZoom)
        m_webBrowser1->setZoomFactor(m_articleZoom);
    if (!m_scrollAfterLoad || m_webBrowser1->url() != m_visitUrl)
        return;
    const QPointF at = *std::exchange(m_scrollAfterLoad, std::nullopt);
    if (!ok)
        return;
    // Only two whole numbers go into the script, and it runs apart from the page, whose scripts stay off.
    m_webBrowser1->page()->runJavaScript(
        QStringLiteral("window.scrollTo(%1, %2);").arg(qRound(at.x())).arg(qRound(at.y())),
        QWebEngineScript::ApplicationWorld);
}

void TfmMain::zoomArticle(int steps)
{
    const double factor = steps == 0 ? 1.0 : ArticleZoomStep(m_articleZoom, steps);
    m_statusText->setText(QStringLiteral("縮放 %1%").arg(qRound(factor * 100)));
    if (factor == m_articleZoom)
        return;
    m_articleZoom = factor;
    m_webBrowser1->setZoomFactor(factor);
    WriteSetting(kAppKey, "ArticleZoom", Big5Text(formatArticleZoom(factor)));
}

void TfmMain::findKeywordNext()
{
    if (m_findBar->isVisible() && !m_findBar->text().isEmpty()) {
        m_findBar->findNext();
        return;
    }
    const ArticleVisit *visit = m_history.current();
    if (!visit || visit->keywords.empty() || m_webBrowser1->url() != m_visitUrl) {
        m_findBar->open(); // nothing searched for here: the user says what to find
        return;
    }
    const QString keyword = QString::fromStdString(visit->keywords.front());
    if (m_findBar->text() != keyword)
        m_findBar->setText(keyword);
    m_findBar->show();
    m_findBar->findNext();
}

void TfmMain::searchFound(const std::vector<std::string> &keywordsCp950)
{
    m_searchKeywords.clear();
    for (const std::string &keyword : keywordsCp950)
        m_searchKeywords.push_back(fromCp950(keyword));
    m_statusText->setText(QStringLiteral("找到 %1 篇主題").arg(m_topic.rowCount()));
}

} // namespace velm
