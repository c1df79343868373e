#pragma once
// The article browser's page and the in-memory pages it shows: an article can be far above the
// 2 MB that a page set directly may hold, so pages are served through a scheme of our own.
#include <QByteArray>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

#include <functional>

class QWebEngineProfile;

namespace velm {

class ArticleRequestFilter;

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

    // Makes the page one that shows posts as written, whatever they hold: it leaves what it shows only for
    // a link the user clicked or an address the program sets; nothing in a post navigates by itself (a
    // refresh, a form), frames and embedded objects do not load, scripts and plug-ins do not run, and a post
    // fetches nothing but its pictures.
    void keepToOwnNavigations();
    // Whether a post's pictures load (they do unless turned off); takes effect from the next page.
    void setShowPictures(bool show);

signals:
    // A navigation or a load this page refused; mainFrame is false for a frame, an embedded object or
    // anything else a post asked for.
    void navigationRefused(const QUrl &url, bool mainFrame);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    BeforeNavigate m_beforeNavigate;
    ArticleRequestFilter *m_requestFilter = nullptr;
    bool m_ownNavigationsOnly = false;
    bool m_loadLetThrough = false; // a main-frame load this page let start has not finished yet
};

// What one page may load: a post's page (one served through our scheme) pictures and nothing else, or not
// even those when pictures are off; other pages all but frames and embedded objects, which load nowhere.
class ArticleRequestFilter final : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    explicit ArticleRequestFilter(QObject *parent = nullptr) : QWebEngineUrlRequestInterceptor(parent) {}
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
    void setShowPictures(bool show) { m_showPictures = show; }

signals:
    void blocked(const QUrl &url);

private:
    bool m_showPictures = true;
};

} // namespace velm
