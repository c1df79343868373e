#pragma once
// The import of a package named on the command line, run once by the main window's first show.
#include "base/cp950.h"
#include "base/progress.h"
#include "packages/package_import.h"

#include <functional>
#include <string>

namespace velm {

// What the first show adds to an import: the tree build and the closing message box.
class StartupImportHost : public ImportHost {
public:
    virtual void buildForumTree() = 0;
    virtual void showMessage(const Big5Text &text) = 0;
};

// A host made of the window's own operations, so the window needs no class of its own for it.
class CallbackImportHost final : public StartupImportHost {
public:
    struct Callbacks {
        std::function<void(const std::string &cp950)> setStatusText;
        ProgressSink *progress = nullptr; // none: a silent one stands in
        std::function<void()> processEvents;
        std::function<void()> buildForumTree;
        std::function<void(const Big5Text &text)> showMessage;
    };
    explicit CallbackImportHost(Callbacks callbacks);

    void setStatusText(const std::string &cp950) override;
    ProgressSink &progress() override;
    void processEvents() override;
    void buildForumTree() override;
    void showMessage(const Big5Text &text) override;

private:
    Callbacks m_callbacks;
    SilentProgress m_silent;
};

// programFolder + "hhmmsszzz_TMP.mdb" for the given local time.
std::string StartupTemporaryName(const std::string &programFolder, const LocalTime &time);

// How an import the window started ends once the package is merged: "重建樹狀圖..." in the status bar,
// one tree build, the status bar cleared and "補充包匯入成功!" shown.
void FinishWindowImport(StartupImportHost &host);

// Expands the package into the temporary file and imports it; then the package connection closed, the
// temporary file deleted and FinishWindowImport. The progress window is closed whatever happens. True
// when the tree was built; false when the package could not be expanded (nothing shown). Import errors
// pass on to the caller.
bool ImportStartupPackage(const std::string &packagePath, const std::string &programFolder, Connection &archive,
                          Connection &package, StartupImportHost &host);

} // namespace velm
