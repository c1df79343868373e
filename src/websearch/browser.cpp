#include "websearch/browser.h"

#include "base/qtext.h"
#include "websearch/web_browser.h"

#include <QApplication>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWebEngineProfile>

namespace velm {
namespace {

constexpr int kRestoredWidth = 544;
constexpr int kRestoredHeight = 375;

} // namespace

TFormBrowser::TFormBrowser() : QWidget(nullptr)
{
    setObjectName("FormBrowser");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("網頁瀏覽器"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pageControl1 = new QTabWidget(this);
    m_pageControl1->setObjectName("PageControl1");
    m_pageControl1->hide();
    layout->addWidget(m_pageControl1);
    // Made after PageControl1, so the pages inside it are freed before the profile they use.
    m_profile = new QWebEngineProfile(this); // off the record: nothing of the user's is written
    resize(kRestoredWidth, kRestoredHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // The windows belong to the application: closing the main window ends the program and them with it.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &QWidget::close);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

QWidget *TFormBrowser::AddResultTab(const QString &caption)
{
    if (m_pageControl1->isHidden())
        m_pageControl1->show();
    auto *tab = new QWidget(m_pageControl1);
    auto *layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pageControl1->addTab(tab, caption);
    tab->setObjectName(QStringLiteral("tabsheet%1").arg(m_pageControl1->count()));
    m_pageControl1->setCurrentWidget(tab);
    return tab;
}

TFormWebBrowser *TFormBrowser::LoadSearchPage(QWidget *tab, const std::string &address, int formNumber,
                                              const std::string &fieldValue, const std::string &fieldName,
                                              KeywordCodePage codePage)
{
    auto *page = new TFormWebBrowser(m_profile, tab);
    page->setPost(formNumber, fieldName, fieldValue, codePage);
    tab->layout()->addWidget(page);
    page->navigate(address);
    page->show();
    return page;
}

TFormBrowser *OpenSearchResults(const std::vector<std::string> &captions, const std::vector<std::string> &urlTexts,
                                const std::vector<KeywordCodePage> &codePages)
{
    auto *window = new TFormBrowser; // frees itself on closing
    const size_t count = std::min(captions.size(), urlTexts.size());
    for (size_t i = 0; i < count; ++i) {
        const SearchUrl url = ParseSearchUrl(urlTexts[i]);
        QWidget *tab = window->AddResultTab(qFromCp950(Big5Text(captions[i])));
        window->LoadSearchPage(tab, url.address, url.formNumber, url.fieldValue, url.fieldName,
                               i < codePages.size() ? codePages[i] : KeywordCodePage::Big5);
    }
    // The results open on the first site, with the tabs shown from their start.
    if (count > 0)
        window->PageControl1()->setCurrentIndex(0);
    window->showMaximized();
    return window;
}

TFormBrowser *OpenSearchResults(const SearchLists &lists)
{
    return OpenSearchResults(lists.captions, lists.urlTexts, lists.codePages);
}

} // namespace velm
