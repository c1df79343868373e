#include "websearch/offline_page.h"

#include <QUrl>
#include <QWebEngineLoadingInfo>

namespace velm {
QString ServerName(const QUrl &url)
{
    if (url.host().isEmpty())
        return url.toString();
    return url.port() >= 0 ? url.host() + ':' + QString::number(url.port()) : url.host();
}

std::optional<QString> OfflinePageHtml(const QWebEngineLoadingInfo &loading)
{
    if (loading.status() != QWebEngineLoadingInfo::LoadFailedStatus)
        return std::nullopt;
    const QUrl url = loading.url();
    // The server answered (an HTTP error has its own page), or the load gave way to another one.
    if (loading.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain ||
        (loading.errorDomain() == QWebEngineLoadingInfo::InternalErrorDomain && loading.errorCode() == -3))
        return std::nullopt;
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return std::nullopt;
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                          "<body style=\"font-size:9pt;margin:4px\">無法連線到 %1 ，離線閱讀不受影響</body></html>")
        .arg(ServerName(url).toHtmlEscaped());
}

} // namespace velm
