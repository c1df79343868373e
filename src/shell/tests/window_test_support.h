#pragma once
// What the window tests share: starting the main window, reading the page it shows, writing settings.
#include "settings/settings.h"
#include "shell/main_window.h"
#include "shell_widgets/messages.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <map>
#include <memory>
#include <string>

namespace velm::test {

// The main window on a program folder, shown, with its first show's work done.
inline std::unique_ptr<TfmMain> startWindow(const std::string &programFolder)
{
    auto window = std::make_unique<TfmMain>(StartupOptions{programFolder, {}});
    QSignalSpy done(window.get(), &TfmMain::firstShowDone);
    window->show();
    if (!done.wait(60000))
        qWarning("first show did not finish");
    return window;
}

// Messages and error reports shown from now on land in these lists instead of on the screen.
inline void collectMessages(QStringList &messages, QStringList &errors)
{
    setMessageHooks({[&messages](const Big5Text &text) { messages << QString::fromStdString(text.toUtf8()); },
                     {},
                     [&errors](const std::string &text) { errors << QString::fromStdString(text); }});
}

// The tree's item of a forum, or null.
inline QTreeWidgetItem *findForum(QTreeWidget *tree, qlonglong id)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toLongLong() == id)
            return *it;
    return nullptr;
}

// The text of the page a view shows.
inline QString pageText(QWebEngineView *view)
{
    // The answer may come after the wait has given up: it then lands in state that is still there.
    struct Answer {
        QString text;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    view->page()->toPlainText([answer](const QString &t) {
        answer->text = t;
        answer->done = true;
    });
    if (!QTest::qWaitFor([&] { return answer->done; }, 5000))
        qWarning("the page text did not come");
    return answer->text;
}

// The settings file holding exactly these values.
inline void writeSettings(const std::map<QString, QString> &values)
{
    QSettings store(QString::fromStdString(settingsFilePath(kAppKey)), QSettings::IniFormat);
    store.clear();
    for (const auto &[name, value] : values)
        store.setValue(name, value);
}

} // namespace velm::test
