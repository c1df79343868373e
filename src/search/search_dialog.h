#pragma once
// TfmSearch: the advanced search dialog. It composes nothing itself: its choices go to RunAdvancedSearch.
#include "search/search_statement.h"

#include <QDialog>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace velm {

class SearchHost;

class TfmSearch final : public QDialog {
    Q_OBJECT
public:
    // Fills the forum list from the default connection; a failing query passes its error on.
    explicit TfmSearch(SearchHost &host, QWidget *owner = nullptr);

    // ToolButton3Click: an open dialog is restored or brought to the front; otherwise a new one is shown
    // modally and frees itself when it closes.
    static void showFor(QWidget *owner, SearchHost &host);
    // The dialog that exists now, if any.
    static TfmSearch *openDialog();

    // The choices as the controls hold them; a drop-down counts by its selected item, never by its text.
    SearchChoices choices() const;
    // " 查詢": runs the search; only an empty result keeps the dialog open.
    void BitBtn1Click();
    // Closing the dialog while its search runs stops the search.
    void reject() override;

    QLineEdit *Edit1() const { return m_edit1; }
    QButtonGroup *RadioGroup1() const { return m_radioGroup1; }
    QComboBox *cbDate() const { return m_cbDate; }
    QComboBox *cbField() const { return m_cbField; }
    QLineEdit *edMember() const { return m_edMember; }
    QComboBox *cbForum() const { return m_cbForum; }
    QCheckBox *CheckBox(int number) const { return m_checkBoxes.at(static_cast<size_t>(number - 1)); }
    QPushButton *BitBtn1() const { return m_bitBtn1; }
    QPushButton *BitBtn2() const { return m_bitBtn2; }

private:
    void FormCreate();
    QWidget *buildFields();
    QWidget *buildCategories();
    QWidget *buildButtons();

    SearchHost &m_host;
    bool m_running = false;
    QLineEdit *m_edit1 = nullptr;
    QButtonGroup *m_radioGroup1 = nullptr;
    QComboBox *m_cbDate = nullptr;
    QComboBox *m_cbField = nullptr;
    QLineEdit *m_edMember = nullptr;
    QComboBox *m_cbForum = nullptr;
    std::array<QCheckBox *, kSearchBoxCount> m_checkBoxes{};
    QPushButton *m_bitBtn1 = nullptr;
    QPushButton *m_bitBtn2 = nullptr;
};

// The position a drop-down with text entry stands at: typed text that names no item gives -1.
int comboPosition(const QComboBox &combo);

} // namespace velm
