#include "base/paths.h"

#include "base/error.h"
#include "base/file_lock.h"

#include <QStandardPaths>
#include <QString>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velm {
namespace {

constexpr const char *kStartupArchive = "velm.mdb";
constexpr const char *kConvertedArchive = "velm.sqlite";

// Whether a file is there; a folder that cannot be looked into is an error, not an absence.
bool present(const fs::path &path)
{
    std::error_code ec;
    const bool found = fs::exists(path, ec);
    if (ec)
        raiseUtf8("無法讀取檔案資訊: " + path.string() + " (" + ec.message() + ")");
    return found;
}

} // namespace

std::string executablePath()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string programFolder()
{
    const fs::path exe = executablePath();
    if (!exe.empty()) {
        const fs::path folder = exe.parent_path();
        if (::access(folder.c_str(), W_OK) == 0)
            return folder.string() + kPathSeparator;
    }
    // $XDG_DATA_HOME, ~/.local/share without it.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const fs::path folder = (data.isEmpty() ? fs::temp_directory_path() : fs::path(data.toStdString())) / "velm-reader";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder.string() + kPathSeparator;
}

std::string installedDataFolder()
{
    // VELM_DATA_FROM_BIN: the install's data folder seen from its program folder, set by the build.
    const fs::path folder = (fs::path(executablePath()).parent_path() / VELM_DATA_FROM_BIN).lexically_normal();
    std::string text = folder.string();
    if (text.empty() || text.back() != kPathSeparator)
        text += kPathSeparator;
    return text;
}

bool provideDemoArchive(const std::string &programFolder, const std::string &demoArchive)
{
    const fs::path folder(programFolder);
    const fs::path target = folder / kConvertedArchive;
    if (present(folder / kStartupArchive) || present(target) || !present(demoArchive))
        return false;

    // The copy is made under a work name and takes the archive's name only when complete; the work file
    // of a program that died while copying is cleared away first.
    const std::string prefix = (folder / kConvertedArchive).string() + ".demo-";
    WorkFile::sweepOrphans(prefix, ".tmp");
    WorkFile copy(prefix, ".tmp");
    std::error_code ec;
    fs::copy_file(demoArchive, copy.path(), fs::copy_options::overwrite_existing, ec);
    if (!ec) // the installed demo may be read-only; the user's archive takes packages
        fs::permissions(copy.path(), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    if (ec)
        raiseUtf8("無法複製範例資料庫 " + demoArchive + " 到 " + target.string() + ": " + ec.message());
    if (!renameWithoutReplacing(copy.path(), target.string())) {
        const int error = errno;
        if (error == EEXIST)
            return false; // another program starting at the same time put its copy there first
        raiseUtf8("無法建立資料庫檔案 " + target.string() + ": " + std::strerror(error));
    }
    copy.keep();
    return true;
}

bool provideDemoArchive(const std::string &programFolder)
{
    return provideDemoArchive(programFolder, installedDataFolder() + kConvertedArchive);
}

std::string AddBackslash(std::string path)
{
    if (path.empty() || path.back() != kPathSeparator)
        path += kPathSeparator;
    return path;
}

} // namespace velm
