#include "article_view.h"

#include <QBuffer>
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

bool ArticleWebPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame)
{
    if (isMainFrame && m_beforeNavigate && m_beforeNavigate(url))
        return false;
    return true;
}

} // namespace velm
