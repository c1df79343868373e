#pragma once
// UWebBrowser: TFormWebBrowser, the page window of one result tab, which may fill and submit a form once.
#include "websearch/web_search.h"

#include <QWidget>

#include <string>

class QWebEngineProfile;
class QWebEngineView;

namespace velm {

class TFormWebBrowser final : public QWidget {
    Q_OBJECT
public:
    TFormWebBrowser(QWebEngineProfile *profile, QWidget *parent);

    // Set before the page starts loading; the field texts are keyword bytes in the given code page.
    void setPost(int formNumber, std::string fieldName, std::string fieldValue, KeywordCodePage codePage);
    // Starts loading an address whose keyword bytes are sent percent-encoded as they are.
    void navigate(const std::string &address);

    // The first document-complete notification after creation fills and submits; later ones do nothing.
    void WebBrowser1DocumentComplete();

    int PostFormNumber() const { return m_postFormNumber; }
    const std::string &PostFieldName() const { return m_postFieldName; }
    const std::string &PostFieldValue() const { return m_postFieldValue; }
    bool PostPending() const { return m_postPending; }
    QWebEngineView *WebBrowser1() const { return m_webBrowser1; }

signals:
    // The first notification's work is over: submitted tells whether a form was sent.
    void postDone(bool submitted);

private:
    QWebEngineView *m_webBrowser1 = nullptr;
    int m_postFormNumber = -1;
    std::string m_postFieldName;
    std::string m_postFieldValue;
    KeywordCodePage m_codePage = KeywordCodePage::Big5;
    bool m_postPending = true;
};

} // namespace velm
