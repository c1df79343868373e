#include "websearch/web_browser.h"

#include "websearch/form_script.h"
#include "websearch/offline_page.h"

#include <QPointer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace velm {

TFormWebBrowser::TFormWebBrowser(QWebEngineProfile *profile, QWidget *parent) : QWidget(parent)
{
    setObjectName("FormWebBrowser");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_webBrowser1 = new QWebEngineView(this);
    m_webBrowser1->setObjectName("WebBrowser1");
    m_webBrowser1->setPage(new QWebEnginePage(profile, m_webBrowser1));
    layout->addWidget(m_webBrowser1);
    connect(m_webBrowser1->page(), &QWebEnginePage::loadFinished, this,
            [this](bool) { WebBrowser1DocumentComplete(); });
    connect(m_webBrowser1->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &loading) {
        if (const std::optional<QString> html = OfflinePageHtml(loading))
            m_webBrowser1->setHtml(*html);
    });
}

void TFormWebBrowser::setPost(int formNumber, std::string fieldName, std::string fieldValue, KeywordCodePage codePage)
{
    m_postFormNumber = formNumber;
    m_postFieldName = std::move(fieldName);
    m_postFieldValue = std::move(fieldValue);
    m_codePage = codePage;
    m_postPending = true;
}

void TFormWebBrowser::navigate(const std::string &address)
{
    m_webBrowser1->setUrl(QUrl::fromEncoded(QByteArray::fromStdString(RequestAddress(address))));
}

void TFormWebBrowser::WebBrowser1DocumentComplete()
{
    if (!m_postPending)
        return;
    m_postPending = false;
    if (m_postFormNumber < 0) {
        emit postDone(false);
        return;
    }
    std::string script;
    try {
        script = FormFillScript(m_postFormNumber, KeywordToUtf8(m_postFieldName, m_codePage),
                                KeywordToUtf8(m_postFieldValue, m_codePage));
    } catch (const std::exception &) {
        emit postDone(false); // the page's form work swallows every failure
        return;
    }
    // The isolated world keeps the page's own scripts from redefining what the fill relies on.
    QPointer<TFormWebBrowser> self(this);
    m_webBrowser1->page()->runJavaScript(QString::fromStdString(script), QWebEngineScript::ApplicationWorld,
                                         [self](const QVariant &result) {
                                             if (self)
                                                 emit self->postDone(result.toBool());
                                         });
}

} // namespace velm
