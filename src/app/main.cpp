// velm-reader: the reader's window.
#include "article_view.h"
#include "hooks.h"
#include "main_window.h"
#include "messages.h"
#include "paths.h"
#include "progress_window.h"
#include "qtext.h"

#include <QApplication>
#include <QClipboard>
#include <QFont>

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
    // 細明體 is not on this platform: a Ming-style face of the same family stands in.
    QFont::insertSubstitutions(QStringLiteral("細明體"), {QStringLiteral("AR PL UMing TW"),
                                                          QStringLiteral("AR PL UMing TW MBE"),
                                                          QStringLiteral("Noto Serif CJK TC")});
    velm::hooks::setClipboard(
        [](const std::string &text) { QGuiApplication::clipboard()->setText(velm::qFromCp950(text)); });
    velm::hooks::setBusyCursor([](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    });

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const std::string programFolder = velm::programFolder();
    // The first start of an installed reader: its program folder gets the demo archive. A failed copy is
    // shown, and the reader starts without an archive as it would have anyway.
    velm::guarded([&] { velm::provideDemoArchive(programFolder); });
    velm::TfmMain fmMain({programFolder, arguments});
    velm::TFormProgress formProgress;
    fmMain.setProgressWindow(&formProgress);
    fmMain.show();
    return QApplication::exec();
}
