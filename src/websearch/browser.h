#pragma once
// UBrowser: TFormBrowser, the tabbed window of web search results; each search opens a new one.
#include "websearch/web_search.h"

#include <QWidget>

#include <string>
#include <vector>

class QTabWidget;
class QWebEngineProfile;

namespace velm {

class TFormWebBrowser;

class TFormBrowser final : public QWidget {
    Q_OBJECT
public:
    TFormBrowser();

    // Appends a tab named "tabsheet" + the tab count and makes it the active one.
    QWidget *AddResultTab(const QString &caption);
    // Creates the page window filling the tab and starts loading the address.
    TFormWebBrowser *LoadSearchPage(QWidget *tab, const std::string &address, int formNumber,
                                    const std::string &fieldValue, const std::string &fieldName,
                                    KeywordCodePage codePage = KeywordCodePage::Big5);

    QTabWidget *PageControl1() const { return m_pageControl1; }

private:
    QTabWidget *m_pageControl1 = nullptr;
    QWebEngineProfile *m_profile = nullptr;
};

// Opens a new browser window with one tab per site, the first one shown, and returns without waiting for any
// page; Escape closes it. Captions
// are code page 950; a missing code page counts as Big5. The window frees itself when closed.
TFormBrowser *OpenSearchResults(const std::vector<std::string> &captions, const std::vector<std::string> &urlTexts,
                                const std::vector<KeywordCodePage> &codePages = {});
TFormBrowser *OpenSearchResults(const SearchLists &lists);

} // namespace velm
