#include "main_window.h"
#include "messages.h"
#include "progress_window.h"
#include "settings.h"

#include <QApplication>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

using namespace velm;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QTemporaryDir m_programFolder;
    QStringList m_errors;

    std::unique_ptr<TfmMain> start(const std::string &folder)
    {
        auto window = std::make_unique<TfmMain>(StartupOptions{folder, {}});
        QSignalSpy done(window.get(), &TfmMain::firstShowDone);
        window->show();
        if (!done.wait(60000))
            qWarning("first show did not finish");
        return window;
    }

    std::string folder() const { return (m_programFolder.path() + '/').toStdString(); }

    void writeSettings(const std::map<QString, QString> &values)
    {
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        store.clear();
        for (const auto &[name, value] : values)
            store.setValue(name, value);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_programFolder.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        std::filesystem::copy_file(VELM_FIXTURES "/archive-small.mdb",
                                   m_programFolder.filePath("velm.mdb").toStdString());
        setMessageHooks({{}, {}, [this](const std::string &text) { m_errors << QString::fromStdString(text); }});
    }

    void init()
    {
        m_errors.clear();
        writeSettings({});
    }

    void firstRunOpensMaximizedWithTheTreeBuiltOnce()
    {
        auto w = start(folder());
        QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join('\n')));
        QVERIFY(w->windowState() & Qt::WindowMaximized);
        QCOMPARE(w->panel4Width(), 168);
        QCOMPARE(w->panel3Height(), 176);
        QCOMPARE(w->windowTitle(), QStringLiteral("Velm討論區 離線閱讀包 V1.6.quorin"));
        QCOMPARE(w->treeBuilds(), 1);
        QCOMPARE(w->tv()->topLevelItemCount(), 1);
        QTreeWidgetItem *root = w->tv()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Velm討論區"));
        QVERIFY(root->isExpanded());
        QCOMPARE(root->childCount(), 6);
        QVERIFY(!root->child(0)->isExpanded());
        QVERIFY(w->tv()->currentItem() == nullptr);
        QVERIFY(w->tv()->selectedItems().isEmpty());
        QCOMPARE(w->DownloadMirrors().size(), size_t(2));
        QCOMPARE(w->SavedPanel4Width(), 168);
        QCOMPARE(w->SavedPanel3Height(), 176);
    }

    void closingWritesTheLayoutAndTheNextStartRestoresIt()
    {
        {
            writeSettings({{"WindowMax", "N"}});
            auto w = start(folder());
            w->setPanel4Width(150);
            w->setPanel3Height(210);
            w->close();
        }
        QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
        for (const char *name :
             {"WindowMax", "WindowLeft", "WindowTop", "WindowWidth", "WindowHeight", "Panel3Height", "Panel4Width"})
            QVERIFY2(store.contains(name), name);
        QCOMPARE(store.value("WindowMax").toString(), QStringLiteral("N"));
        QCOMPARE(store.value("Panel4Width").toString(), QStringLiteral("150"));
        QCOMPARE(store.value("Panel3Height").toString(), QStringLiteral("210"));

        auto again = start(folder());
        QVERIFY(!(again->windowState() & Qt::WindowMaximized));
        QCOMPARE(again->panel4Width(), 150);
        QCOMPARE(again->panel3Height(), 210);
        QCOMPARE(again->SavedPanel4Width(), 150);
        QCOMPARE(again->width(), store.value("WindowWidth").toInt());
    }

    void oddStoredValues()
    {
        writeSettings({{"Panel3Height", "0"}, {"Panel4Width", "-5"}, {"WindowMax", "N"}, {"WindowLeft", "left"},
                       {"WindowTop", "40"}});
        auto w = start(folder());
        QCOMPARE(w->panel3Height(), 1);
        QCOMPARE(w->panel4Width(), 1);
        QVERIFY(!(w->windowState() & Qt::WindowMaximized));
        QCOMPARE(w->currentLayout().left, 201);
        QCOMPARE(w->currentLayout().top, 40);
    }

    void fullScreenToggle()
    {
        auto w = start(folder());
        w->setPanel4Width(250); // moved before the toggle: leaving full screen still gives start-up sizes
        w->ToolButton14Click();
        QCOMPARE(w->panel4Width(), 1);
        QCOMPARE(w->panel3Height(), 1);
        w->ToolButton14Click();
        QCOMPARE(w->panel4Width(), 168);
        QCOMPARE(w->panel3Height(), 176);

        w->setPanel4Width(1); // only the tree collapsed: the toggle collapses both
        w->ToolButton14Click();
        QCOMPARE(w->panel3Height(), 1);

        writeSettings({{"Panel3Height", "1"}, {"Panel4Width", "1"}});
        auto ended = start(folder());
        ended->ToolButton14Click();
        QCOMPARE(ended->panel4Width(), 169);
        QCOMPARE(ended->panel3Height(), 176);
    }

    void navigationOnAClosedListIsReported()
    {
        auto w = start(folder());
        guarded([&] { w->ToolButton19Click(); });
        QCOMPARE(m_errors.size(), 1);
    }

    void missingArchiveIsReportedAndTheWindowStaysUsable()
    {
        QTemporaryDir empty;
        auto w = start((empty.path() + '/').toStdString());
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.first().contains("velm.mdb"));
        QCOMPARE(w->tv()->topLevelItemCount(), 0);
        QCOMPARE(w->treeBuilds(), 0);
        QVERIFY(w->isVisible());
    }

    void progressWindow()
    {
        TFormProgress progress;
        QCOMPARE(progress.windowTitle(), QStringLiteral("資料載入進度"));
        QCOMPARE(progress.size(), QSize(519, 32));
        QVERIFY(!(progress.windowFlags() & Qt::WindowCloseButtonHint));
        progress.setRange(0, 0);
        progress.setPosition(5);
        progress.show();
        QVERIFY(progress.isVisible());
        QCOMPARE(progress.ProgressBar1()->value(), 0); // empty, never the busy animation
        QVERIFY(progress.ProgressBar1()->maximum() > progress.ProgressBar1()->minimum());
        progress.setCaption("again");
        progress.show();
        QVERIFY(progress.isVisible());
        QCOMPARE(progress.windowTitle(), QStringLiteral("again"));
        QWidget &asWidget = progress;
        asWidget.close(); // what the title bar would do
        QVERIFY(progress.isVisible());
        progress.setRange(0, 10);
        progress.setPosition(4);
        QCOMPARE(progress.ProgressBar1()->value(), 4);
        progress.close();
        QVERIFY(!progress.isVisible());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
