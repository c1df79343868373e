// Runs the dialog and browser tests in one application, as WebEngine allows one per process.
#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

int runWebSearchDialogTests(int argc, char **argv);
int runBrowserTests(int argc, char **argv);

int main(int argc, char **argv)
{
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const int dialogs = runWebSearchDialogTests(argc, argv);
    const int browser = runBrowserTests(argc, argv);
    return dialogs || browser ? 1 : 0;
}
