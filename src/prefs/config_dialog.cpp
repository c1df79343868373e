#include "prefs/config_dialog.h"

#include "base/qtext.h"
#include "settings/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace velm {
namespace {

constexpr int kWidth = 353;
constexpr int kHeight = 234;

FontDialogHook &fontDialogHook()
{
    static FontDialogHook hook;
    return hook;
}

std::optional<QFont> chooseFont(const QFont &initial, QWidget *parent)
{
    if (const FontDialogHook &hook = fontDialogHook())
        return hook(initial, parent);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    return ok ? std::optional<QFont>(chosen) : std::nullopt;
}

// A font given in pixels has no point size of its own: the size it shows at stands in.
int pointSizeOf(const QFont &font)
{
    return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

} // namespace

QString FontText(const QFont &font)
{
    return font.family() + u';' + QString::number(pointSizeOf(font));
}

void setFontDialogHook(FontDialogHook hook)
{
    fontDialogHook() = std::move(hook);
}

TFormConfig::TFormConfig(QWidget *mainWindow) : QDialog(mainWindow), m_mainWindow(mainWindow)
{
    setObjectName("FormConfig");
    setWindowTitle(QStringLiteral("參數設定"));
    setFixedSize(kWidth, kHeight);

    m_checkBox1 = new QCheckBox(QStringLiteral("程式執行後自動檢查更新下載包"), this);
    m_checkBox1->setObjectName("CheckBox1");
    m_checkBox2 = new QCheckBox(QStringLiteral("顯示文章中的圖片"), this);
    m_checkBox2->setObjectName("CheckBox2");
    m_speedButton1 = new QPushButton(QStringLiteral("選擇字體"), this);
    m_speedButton1->setObjectName("SpeedButton1");
    m_label1 = new QLabel(this);
    m_label1->setObjectName("Label1");
    m_bitBtn1 = new QPushButton(QStringLiteral("確定"), this);
    m_bitBtn1->setObjectName("BitBtn1");
    m_bitBtn1->setDefault(true);
    m_bitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    m_bitBtn2->setObjectName("BitBtn2");

    auto *fontRow = new QHBoxLayout;
    fontRow->addWidget(m_speedButton1);
    fontRow->addWidget(m_label1, 1);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(m_bitBtn1);
    buttonRow->addWidget(m_bitBtn2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_checkBox1);
    layout->addWidget(m_checkBox2);
    layout->addLayout(fontRow);
    layout->addStretch();
    layout->addLayout(buttonRow);

    connect(m_speedButton1, &QPushButton::clicked, this, &TFormConfig::SpeedButton1Click);
    connect(m_bitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_bitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    m_checkBox1->setChecked(ReadSetting(kAppKey, "AutoUpdate") != Big5Text("N"));
    m_checkBox2->setChecked(ShowPictures());
    showFont(m_mainWindow->font());
}

void TFormConfig::showFont(const QFont &font)
{
    m_label1->setFont(font);
    m_label1->setText(FontText(font));
}

void TFormConfig::SpeedButton1Click()
{
    const std::optional<QFont> chosen = chooseFont(m_label1->font(), this);
    if (!chosen)
        return;
    // Only size and face are taken: style, colour and the rest of the choice are left behind.
    QFont font = m_label1->font();
    font.setPointSize(pointSizeOf(*chosen));
    font.setFamily(chosen->family());
    showFont(font);
}

void TFormConfig::applyAccepted()
{
    WriteSetting(kAppKey, "AutoUpdate", Big5Text(m_checkBox1->isChecked() ? "Y" : "N"));
    QFont font = m_mainWindow->font();
    font.setFamily(m_label1->font().family());
    font.setPointSize(pointSizeOf(m_label1->font()));
    // The dialogs, windows of their own, follow the application's font.
    QApplication::setFont(font);
    m_mainWindow->setFont(font);
    const QFont applied = m_mainWindow->font();
    WriteSetting(kAppKey, "DefaultFontSize", Big5Text(std::to_string(pointSizeOf(applied))));
    WriteSetting(kAppKey, "DefaultFontName", qToCp950(applied.family()));
    WriteSetting(kAppKey, "ShowPictures", Big5Text(m_checkBox2->isChecked() ? "Y" : "N"));
}

void ShowConfigDialog(QWidget *mainWindow)
{
    TFormConfig dialog(mainWindow);
    if (dialog.exec() == QDialog::Accepted)
        dialog.applyAccepted();
}

} // namespace velm
