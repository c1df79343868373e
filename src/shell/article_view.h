#pragma once
// The article browser's page and the in-memory pages it shows: an article can be far above the
// 2 MB that a page set directly may hold, so pages are served through a scheme of our own.
#include <QByteArray>
#include <QWebEnginePage>
#include <QWebEngineUrlSchemeHandler>

#include <functional>

class QWebEngineProfile;

namespace velm {

// Must run before the application object exists.
void registerArticleScheme();

class ArticleSchemeHandler final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    explicit ArticleSchemeHandler(QObject *parent = nullptr) : QWebEngineUrlSchemeHandler(parent) {}
    // Keeps the page (UTF-8 HTML) and gives the address it is served at.
    QUrl publish(QByteArray utf8Html);
    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    QByteArray m_page;
    int m_serial = 0;
};

// A page whose navigations first pass a handler that may cancel them (true cancels).
class ArticleWebPage final : public QWebEnginePage {
    Q_OBJECT
public:
    using BeforeNavigate = std::function<bool(const QUrl &url)>;
    ArticleWebPage(QWebEngineProfile *profile, QObject *parent = nullptr) : QWebEnginePage(profile, parent) {}
    void setBeforeNavigate(BeforeNavigate handler) { m_beforeNavigate = std::move(handler); }

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    BeforeNavigate m_beforeNavigate;
};

} // namespace velm
