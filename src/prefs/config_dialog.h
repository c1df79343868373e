#pragma once
// UConfig: TFormConfig, the preferences dialog (automatic update check, the main window's font, posts' pictures).
#include <QDialog>
#include <QFont>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace velm {

class TFormConfig final : public QDialog {
    Q_OBJECT
public:
    // Reads AutoUpdate and ShowPictures and gives Label1 the main window's current font.
    explicit TFormConfig(QWidget *mainWindow);

    void SpeedButton1Click();
    // OK's steps in order: AutoUpdate, the main window's font, DefaultFontSize, DefaultFontName, ShowPictures.
    // A setting that cannot be written raises its error there; the steps before it stay done.
    void applyAccepted();

    QCheckBox *CheckBox1() const { return m_checkBox1; }
    QCheckBox *CheckBox2() const { return m_checkBox2; }
    QPushButton *SpeedButton1() const { return m_speedButton1; }
    QLabel *Label1() const { return m_label1; }
    QPushButton *BitBtn1() const { return m_bitBtn1; }
    QPushButton *BitBtn2() const { return m_bitBtn2; }

private:
    void showFont(const QFont &font);

    QWidget *m_mainWindow;
    QCheckBox *m_checkBox1 = nullptr;
    QCheckBox *m_checkBox2 = nullptr;
    QPushButton *m_speedButton1 = nullptr;
    QLabel *m_label1 = nullptr;
    QPushButton *m_bitBtn1 = nullptr;
    QPushButton *m_bitBtn2 = nullptr;
};

// The font text: face name, ";", size in points, no blanks ("細明體;9").
QString FontText(const QFont &font);

// The font dialog: the chosen font, or nothing when the user cancels. Tests replace it, since a modal
// font dialog cannot be driven offscreen; an empty hook brings back the platform's dialog.
using FontDialogHook = std::function<std::optional<QFont>(const QFont &initial, QWidget *parent)>;
void setFontDialogHook(FontDialogHook hook);

// ToolButton13Click's work: the dialog is created, shown modally and, on OK, its choices stored and applied.
void ShowConfigDialog(QWidget *mainWindow);

} // namespace velm
