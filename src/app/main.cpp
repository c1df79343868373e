// velm-reader: the reader's window.
#include "base/hooks.h"
#include "base/paths.h"
#include "base/qtext.h"
#include "shell/article_view.h"
#include "shell/main_window.h"
#include "shell_core/package_handoff.h"
#include "shell_core/startup.h"
#include "shell_widgets/localization.h"
#include "shell_widgets/messages.h"
#include "shell_widgets/progress_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QWebEngineView>

#include <cstdio>
#include <initializer_list>

namespace {

// The last line of defence: an error that escapes a command is shown, and the program goes on.
class ReaderApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        bool handled = false;
        velm::guarded([&] { handled = QApplication::notify(receiver, event); });
        return handled;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    velm::registerArticleScheme();
    ReaderApplication app(argc, argv);
    QApplication::setApplicationDisplayName(velm::MainCaption());
    velm::substituteMingFace();
    velm::substitutePageFaces();
    // Without Qt's translation its dialogs speak English; the reader itself still works.
    if (QString why; !velm::installQtTranslations(app, &why))
        qWarning("velm-reader: Qt's own texts stay untranslated: %s", qPrintable(why));
    velm::hooks::setClipboard(
        [](const std::string &text) { QGuiApplication::clipboard()->setText(velm::qFromCp950(velm::Big5Text(text))); });
    velm::hooks::setBusyCursor([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    });

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    // One window: a package named while a reader runs is handed to it, which imports it, and this start ends.
    const QString socket = velm::ReaderSocketName();
    if (!arguments.isEmpty()) {
        std::vector<std::string> parts;
        for (const QString &argument : arguments)
            parts.push_back(argument.toStdString());
        const QString package = QFileInfo(QString::fromStdString(velm::joinArguments(parts))).absoluteFilePath();
        if (velm::HandOffPackage(socket, package))
            return 0;
    }
    const std::string programFolder = velm::programFolder();
    // The first start of an installed reader: its program folder gets the demo archive. A failed copy is
    // shown, and the reader starts without an archive as it would have anyway.
    velm::guarded([&] { velm::provideDemoArchive(programFolder); });
    velm::TfmMain fmMain({programFolder, arguments});
    velm::TFormProgress formProgress;
    fmMain.setProgressWindow(&formProgress);
    // Without the socket (another reader kept it) this window simply takes no packages from other starts.
    velm::PackageReceiver receiver;
    QObject::connect(&receiver, &velm::PackageReceiver::packageHanded, &fmMain, &velm::TfmMain::importHandedPackage);
    receiver.listen(socket);
    // A screenshot run (scripts/screenshots.sh) drives the window from outside: with VELM_READER_GEOMETRY set,
    // the places of the controls it clicks are printed once the first show is done.
    if (qEnvironmentVariableIsSet("VELM_READER_GEOMETRY")) {
        QObject::connect(&fmMain, &velm::TfmMain::firstShowDone, &fmMain, [&fmMain] {
            const auto print = [](const char *name, const QWidget *w, const QRect &rect) {
                const QPoint at = w->mapToGlobal(rect.topLeft());
                std::printf("geometry %s %d %d %d %d\n", name, at.x(), at.y(), rect.width(), rect.height());
            };
            for (const char *name : {"EditSearch", "tv", "DBGrid1", "WebBrowser1", "WebBrowserDemo", "ToolButton2"})
                if (const QWidget *w = fmMain.findChild<QWidget *>(QLatin1String(name)))
                    print(name, w, w->rect());
            if (const auto *tabs = fmMain.findChild<QTabWidget *>(QStringLiteral("TreeTabs"))) {
                print("ForumsTab", tabs->tabBar(), tabs->tabBar()->tabRect(0));
                print("BookmarksTab", tabs->tabBar(), tabs->tabBar()->tabRect(1));
            }
            std::fflush(stdout);
        });
    }
    fmMain.show();
    return QApplication::exec();
}
