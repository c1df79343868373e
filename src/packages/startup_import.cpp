#include "packages/startup_import.h"

#include "archive/database.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/progress.h"
#include "packages/package_file.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace velm {
namespace {

void removeQuietly(const std::string &path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
}

// The progress window goes away however the start-up import ends.
class ProgressClosing {
public:
    explicit ProgressClosing(ProgressSink &progress) : m_progress(progress) {}
    ~ProgressClosing() { m_progress.close(); }
    ProgressClosing(const ProgressClosing &) = delete;
    ProgressClosing &operator=(const ProgressClosing &) = delete;

private:
    ProgressSink &m_progress;
};

} // namespace

CallbackImportHost::CallbackImportHost(Callbacks callbacks) : m_callbacks(std::move(callbacks)) {}

void CallbackImportHost::setStatusText(const std::string &cp950)
{
    if (m_callbacks.setStatusText)
        m_callbacks.setStatusText(cp950);
}

ProgressSink &CallbackImportHost::progress()
{
    return m_callbacks.progress ? *m_callbacks.progress : m_silent;
}

void CallbackImportHost::processEvents()
{
    if (m_callbacks.processEvents)
        m_callbacks.processEvents();
}

void CallbackImportHost::buildForumTree()
{
    if (m_callbacks.buildForumTree)
        m_callbacks.buildForumTree();
}

void CallbackImportHost::showMessage(const Big5Text &text)
{
    if (m_callbacks.showMessage)
        m_callbacks.showMessage(text);
}

std::string StartupTemporaryName(const std::string &programFolder, const LocalTime &time)
{
    char name[32];
    std::snprintf(name, sizeof name, "%2.2d%2.2d%2.2d%3.3d_TMP", time.hour, time.minute, time.second, time.millisecond);
    return AddBackslash(programFolder) + name + ".mdb";
}

bool ImportStartupPackage(const std::string &packagePath, const std::string &programFolder, Connection &archive,
                          Connection &package, StartupImportHost &host)
{
    ProgressClosing closing(host.progress());
    const std::string temporary = StartupTemporaryName(programFolder, host.now());
    if (!ExpandPackage(packagePath, temporary))
        return false;
    try {
        ImportPackage(temporary, archive, package, host);
    } catch (...) {
        // The copy is ours alone; after a failed import nothing would ever remove it.
        package.close();
        removeQuietly(temporary);
        throw;
    }
    package.close();
    removeQuietly(temporary);
    FinishWindowImport(host);
    return true;
}

void FinishWindowImport(StartupImportHost &host)
{
    host.setStatusText(B5("重建樹狀圖..."));
    host.processEvents();
    host.buildForumTree();
    host.setStatusText({});
    host.showMessage(Big5Text(B5("補充包匯入成功!")));
}

} // namespace velm
