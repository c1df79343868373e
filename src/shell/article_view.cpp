#include "shell/article_view.h"

#include <QBuffer>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace velm {
namespace {
constexpr const char *kScheme = "velm-article";
}

void registerArticleScheme()
{
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QUrl ArticleSchemeHandler::publish(QByteArray utf8Html)
{
    m_page = std::move(utf8Html);
    // A new address per page, so the browser never shows an older page from its cache.
    return QUrl(QString::fromLatin1(kScheme) + ":/page/" + QString::number(++m_serial));
}

void ArticleSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    if (job->requestUrl().path() != "/page/" + QString::number(m_serial)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *buffer = new QBuffer(job);
    buffer->setData(m_page);
    // The page's own META names Big5; the text arrives as UTF-8, which the transport charset declares.
    job->reply("text/html;charset=utf-8", buffer);
}

void ArticleWebPage::keepToOwnNavigations()
{
    m_ownNavigationsOnly = true;
    QWebEngineSettings *s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    // A load let through ends when the page has loaded (or failed to); one started since goes on.
    connect(this, &QWebEnginePage::loadFinished, this, [this] {
        if (!isLoading())
            m_loadLetThrough = false;
    });
    m_requestFilter = new ArticleRequestFilter(this);
    connect(m_requestFilter, &ArticleRequestFilter::blocked, this,
            [this](const QUrl &url) { emit navigationRefused(url, false); });
    setUrlRequestInterceptor(m_requestFilter);
}

void ArticleWebPage::setShowPictures(bool show)
{
    if (m_requestFilter)
        m_requestFilter->setShowPictures(show);
}

bool ArticleWebPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (m_ownNavigationsOnly) {
        // The program's own loads come as typed addresses; a click is the user's. A redirect while such a
        // load goes on is its server sending it on; once the page has loaded, a redirect is the page's own
        // refresh (a refresh only starts after the page's load). Anything else on the main frame (a form,
        // a reload or history move) is the page's doing too.
        const bool letThrough = type == NavigationTypeTyped || type == NavigationTypeLinkClicked ||
                                (type == NavigationTypeRedirect && m_loadLetThrough);
        if (!isMainFrame || !letThrough) {
            emit navigationRefused(url, isMainFrame);
            return false;
        }
    }
    if (isMainFrame && m_beforeNavigate && m_beforeNavigate(url))
        return false;
    if (isMainFrame)
        m_loadLetThrough = true;
    return true;
}

void ArticleRequestFilter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    using Info = QWebEngineUrlRequestInfo;
    bool block = false;
    switch (info.resourceType()) {
    case Info::ResourceTypeMainFrame:
        break; // a navigation: the page decides on it
    case Info::ResourceTypeSubFrame:
    case Info::ResourceTypeObject:
    case Info::ResourceTypePluginResource:
        block = true;
        break;
    default:
        // A post's page is the only page of our scheme; what it asks for elsewhere tells a server who reads it.
        block = info.firstPartyUrl().scheme() == QLatin1String(kScheme) &&
                info.requestUrl().scheme() != QLatin1String(kScheme) &&
                !(info.resourceType() == Info::ResourceTypeImage && m_showPictures);
    }
    if (block) {
        info.block(true);
        emit blocked(info.requestUrl());
    }
}

} // namespace velm
