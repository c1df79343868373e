// The reader's window as a process of its own, for tests that need the reader as a real process (other
// programs on its archive, a kill): driven by one command a line on standard input, each answered by lines on
// standard output, the last of them "done".
//   velm_window_driver PROGRAM_FOLDER      starts on the folder's archive; says "ready <caption>"
//   dialogs              the toolbar's open-archive and package dialogs, each shown over the program folder
//                        until its files are listed, then cancelled
//   forum ID             shows the forum's topics; "reading" while the list has rows still to read
//   import PATH          the toolbar import, picking PATH in its dialog; "message <text>" per message box
// An error of a command is said as "error <text>".
#include "base/qtext.h"
#include "shell/article_view.h"
#include "shell/main_window.h"
#include "shell/testing/main_window_probe.h"
#include "shell/tests/window_test_support.h"
#include "shell_widgets/messages.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

#include <unistd.h>

namespace {

void say(const std::string &line)
{
    std::cout << line << std::endl;
}

// Every file dialog is shown the program folder; once the folder's files are listed (their icons and types
// taken), the dialog is cancelled, or given the file to pick.
class DialogHandler final : public QObject {
public:
    explicit DialogHandler(QString folder) : m_folder(std::move(folder)) {}
    QString pick;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QFileDialog *>(watched);
        if (event->type() != QEvent::Show || !dialog || dialog->property("velmHandled").toBool())
            return false;
        dialog->setProperty("velmHandled", true);
        // Shown, the dialog has not yet run its event loop: the listing's end cannot have passed unseen.
        auto *model = dialog->findChild<QFileSystemModel *>();
        const QString chosen = std::exchange(pick, {});
        connect(model, &QFileSystemModel::directoryLoaded, dialog, [this, dialog, chosen](const QString &path) {
            if (QDir(path) != QDir(m_folder))
                return;
            if (chosen.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(chosen);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        dialog->setDirectory(m_folder);
        return false;
    }

private:
    QString m_folder;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velm_window_driver PROGRAM_FOLDER\n");
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    velm::registerArticleScheme();
    QApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    velm::setMessageHooks({[](const velm::Big5Text &text) { say("message " + velm::qFromCp950(text).toStdString()); },
                           [](const velm::Big5Text &) { return true; },
                           [](const std::string &text) { say("error " + text); }});
    DialogHandler dialogs(folder);
    app.installEventFilter(&dialogs);

    velm::TfmMain window({folder.toStdString() + "/", {}});
    QSignalSpy shown(&window, &velm::TfmMain::firstShowDone);
    window.show();
    if (!shown.wait(60000))
        return 1;
    say("ready " + window.windowTitle().toStdString());

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &window, [&] {
        std::string line;
        if (!std::getline(std::cin, line)) {
            QCoreApplication::quit();
            return;
        }
        // The command runs from the event loop, as a click would, not inside this notification.
        QTimer::singleShot(0, &window, [&window, &dialogs, line] {
            velm::guarded([&] {
                if (line == "dialogs") {
                    window.ToolButton2Click();
                    window.ToolButton1Click();
                } else if (line.rfind("forum ", 0) == 0) {
                    velm::TfmMainProbe inside(window);
                    QTreeWidgetItem *forum = velm::test::findForum(inside.tv(), std::stoll(line.substr(6)));
                    if (!forum)
                        velm::raiseUtf8("no forum " + line.substr(6));
                    inside.tv()->setCurrentItem(forum);
                    if (inside.ADOTopic().isOpen() && !inside.ADOTopic().allFetched())
                        say("reading");
                } else if (line.rfind("import ", 0) == 0) {
                    dialogs.pick = QString::fromStdString(line.substr(7));
                    window.ToolButton1Click();
                } else {
                    say("error unknown command " + line);
                }
            });
            say("done");
        });
    });
    return QApplication::exec();
}
