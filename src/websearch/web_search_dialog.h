#pragma once
// UWebSearch: TFormWebSearch, where the keyword is typed and the outside sites are ticked.
#include "websearch/web_search.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velm {

class TFormWebSearch final : public QDialog {
    Q_OBJECT
public:
    explicit TFormWebSearch(QWidget *parent = nullptr);

    void BitBtn1Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void StaticText1Click();

    // The site boxes found by name, "checkbox" + n for n from 0 to 100 without regard to case, by number.
    std::vector<QCheckBox *> siteBoxes() const;

    // What OK hands the lists to; OpenSearchResults unless replaced.
    using ResultOpener = std::function<void(const SearchLists &lists)>;
    void setResultOpener(ResultOpener opener) { m_openResults = std::move(opener); }

    QLineEdit *Edit1() const { return m_edit1; }
    QCheckBox *CheckBoxGB() const { return m_checkBoxGB; }
    QCheckBox *CheckBoxBig() const { return m_checkBoxBig; }
    QPushButton *BitBtn1() const { return m_bitBtn1; }
    QPushButton *BitBtn2() const { return m_bitBtn2; }
    QPushButton *SpeedButton1() const { return m_speedButton1; }
    QPushButton *SpeedButton2() const { return m_speedButton2; }
    QLabel *StaticText1() const { return m_staticText1; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildSiteColumn();

    ResultOpener m_openResults;
    QLineEdit *m_edit1 = nullptr;
    QCheckBox *m_checkBoxGB = nullptr;
    QCheckBox *m_checkBoxBig = nullptr;
    QPushButton *m_bitBtn1 = nullptr;
    QPushButton *m_bitBtn2 = nullptr;
    QPushButton *m_speedButton1 = nullptr;
    QPushButton *m_speedButton2 = nullptr;
    QLabel *m_staticText1 = nullptr;
};

// The site box properties: its URL template (code page 950 bytes) and its number.
inline constexpr const char *kTemplateProperty = "urlTemplate";

// ToolButton11Click's work: the dialog is created, shown modally and freed; its result is not used.
void ShowWebSearchDialog(QWidget *parent);

} // namespace velm
