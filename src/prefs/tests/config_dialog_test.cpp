#include "prefs/config_dialog.h"

#include "base/cp950.h"
#include "base/error.h"
#include "settings/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

using namespace velm;

namespace {

// Stands in for the main window: a font of its own and a control that takes the window's font.
struct MainWindowStandIn {
    QWidget window;
    QLabel *child = new QLabel("child", &window);
    MainWindowStandIn() { window.setFont(QFont(QStringLiteral("細明體"), 9)); }
};

std::string stored(const char *name)
{
    return fromCp950(ReadSetting(kAppKey, name).bytes());
}

// Answers the modal dialog once its loop runs: a modal font or config dialog cannot wait for a person.
void answerModal(std::function<void(TFormConfig *)> answer)
{
    QTimer::singleShot(0, [answer] {
        auto *dialog = qobject_cast<TFormConfig *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        answer(dialog);
    });
}

} // namespace

class ConfigDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    QList<QFont> m_startFonts;

    void chooseNext(const QFont &font)
    {
        setFontDialogHook([this, font](const QFont &initial, QWidget *) {
            m_startFonts.append(initial);
            return std::optional<QFont>(font);
        });
    }

private slots:
    void init()
    {
        m_config = std::make_unique<QTemporaryDir>();
        setenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit().constData(), 1);
        m_startFonts.clear();
        setFontDialogHook([](const QFont &, QWidget *) { return std::optional<QFont>(); });
    }

    void captionControlsAndFontText()
    {
        MainWindowStandIn main;
        TFormConfig dialog(&main.window);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("參數設定"));
        QCOMPARE(dialog.size(), QSize(353, 234));
        QCOMPARE(dialog.CheckBox1()->text(), QStringLiteral("程式執行後自動檢查更新下載包"));
        QCOMPARE(dialog.CheckBox2()->text(), QStringLiteral("顯示文章中的圖片"));
        QCOMPARE(dialog.SpeedButton1()->text(), QStringLiteral("選擇字體"));
        QCOMPARE(dialog.Label1()->text(), QStringLiteral("細明體;9"));
        QCOMPARE(dialog.Label1()->font().family(), QStringLiteral("細明體"));
    }

    void switchBoxesFollowTheStoreAndOkWritesThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("before"); // "-" for a first run
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("after");
        QTest::newRow("first run") << "AutoUpdate"
                                   << "-" << true << "Y";
        QTest::newRow("lower-case n") << "AutoUpdate"
                                      << "n" << true << "Y";
        QTest::newRow("N") << "AutoUpdate"
                           << "N" << false << "N";
        QTest::newRow("Y") << "AutoUpdate"
                           << "Y" << true << "Y";
        QTest::newRow("other text") << "AutoUpdate"
                                    << "no" << true << "Y";
        QTest::newRow("pictures, first run") << "ShowPictures"
                                             << "-" << true << "Y";
        QTest::newRow("pictures off") << "ShowPictures"
                                      << "N" << false << "N";
    }

    void switchBoxesFollowTheStoreAndOkWritesThem()
    {
        QFETCH(QString, name);
        QFETCH(QString, before);
        QFETCH(bool, ticked);
        QFETCH(QString, after);
        if (before != "-")
            WriteSetting(kAppKey, name.toStdString(), Big5Text(before.toStdString()));
        MainWindowStandIn main;
        TFormConfig dialog(&main.window);
        QCOMPARE((name == "AutoUpdate" ? dialog.CheckBox1() : dialog.CheckBox2())->isChecked(), ticked);
        dialog.applyAccepted();
        QCOMPARE(QString::fromStdString(stored(name.toStdString().c_str())), after);
    }

    void okWithoutAChoiceRewritesTheCurrentValues()
    {
        MainWindowStandIn main;
        main.window.setFont(QFont(QStringLiteral("AR PL UMing TW"), 11));
        answerModal([](TFormConfig *d) { QTest::mouseClick(d->BitBtn1(), Qt::LeftButton); });
        ShowConfigDialog(&main.window);
        QCOMPARE(stored("AutoUpdate"), std::string("Y"));
        QCOMPARE(stored("DefaultFontSize"), std::string("11"));
        QCOMPARE(stored("DefaultFontName"), std::string("AR PL UMing TW"));
        QCOMPARE(main.window.font().family(), QStringLiteral("AR PL UMing TW"));
        QCOMPARE(main.window.font().pointSize(), 11);
    }

    void chosenFontThenCancelChangesNothing()
    {
        MainWindowStandIn main;
        chooseNext(QFont("Face A", 12));
        answerModal([](TFormConfig *d) {
            QTest::mouseClick(d->SpeedButton1(), Qt::LeftButton);
            QCOMPARE(d->Label1()->text(), QStringLiteral("Face A;12"));
            d->CheckBox1()->setChecked(false);
            QTest::mouseClick(d->BitBtn2(), Qt::LeftButton);
        });
        ShowConfigDialog(&main.window);
        QCOMPARE(main.window.font().family(), QStringLiteral("細明體"));
        QCOMPARE(main.window.font().pointSize(), 9);
        QVERIFY(!std::filesystem::exists(settingsFilePath(kAppKey)));
    }

    void boldChoiceGivesFaceAndSizeOnly()
    {
        MainWindowStandIn main;
        QFont bold("Face A", 12);
        bold.setBold(true);
        bold.setItalic(true);
        chooseNext(bold);
        answerModal([](TFormConfig *d) {
            QTest::mouseClick(d->SpeedButton1(), Qt::LeftButton);
            QCOMPARE(d->Label1()->text(), QStringLiteral("Face A;12"));
            QVERIFY(!d->Label1()->font().bold());
            QTest::mouseClick(d->BitBtn1(), Qt::LeftButton);
        });
        ShowConfigDialog(&main.window);
        QCOMPARE(m_startFonts.size(), 1);
        QCOMPARE(m_startFonts[0].family(), QStringLiteral("細明體")); // the dialog starts from Label1's font
        const QFont applied = main.window.font();
        QCOMPARE(applied.family(), QStringLiteral("Face A"));
        QCOMPARE(applied.pointSize(), 12);
        QVERIFY(!applied.bold());
        QVERIFY(!applied.italic());
        QCOMPARE(main.child->font().family(), QStringLiteral("Face A")); // controls follow the window at once
        QCOMPARE(stored("DefaultFontSize"), std::string("12"));
        QCOMPARE(stored("DefaultFontName"), std::string("Face A"));
    }

    void aStoreThatCannotBeWrittenStopsOkAtThatStep()
    {
        // A folder where the settings file should be: the first write fails, so the font stays.
        QVERIFY(QDir().mkpath(QString::fromStdString(settingsFilePath(kAppKey))));
        MainWindowStandIn main;
        TFormConfig dialog(&main.window);
        chooseNext(QFont("Face A", 12));
        dialog.SpeedButton1Click();
        bool raised = false;
        try {
            dialog.applyAccepted();
        } catch (const Error &e) {
            raised = true;
            QVERIFY(e.utf8().find("AutoUpdate") != std::string::npos);
        }
        QVERIFY(raised);
        QCOMPARE(main.window.font().family(), QStringLiteral("細明體"));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ConfigDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "config_dialog_test.moc"
