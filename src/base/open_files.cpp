#include "base/open_files.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>

#include <dirent.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace velm {
namespace {

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

} // namespace

std::optional<std::string> heldOpenAs(const std::string &path)
{
    struct stat wanted {};
    if (::stat(path.c_str(), &wanted) != 0)
        return std::nullopt;
    const std::unique_ptr<DIR, DirCloser> descriptors(::opendir("/proc/self/fd"));
    if (!descriptors)
        return std::nullopt;
    while (const dirent *entry = ::readdir(descriptors.get())) {
        char *end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        struct stat held {};
        if (end == entry->d_name || *end != '\0' || ::fstat(static_cast<int>(fd), &held) != 0 ||
            held.st_dev != wanted.st_dev || held.st_ino != wanted.st_ino)
            continue;
        std::error_code ec;
        const fs::path name = fs::read_symlink(fs::path("/proc/self/fd") / entry->d_name, ec);
        return ec ? path : name.string();
    }
    return std::nullopt;
}

bool isDatabaseSideFile(const std::string &name)
{
    const std::string_view text(name);
    for (std::string_view suffix : {"-wal", "-shm", "-journal"})
        if (text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix)
            return true;
    return false;
}

} // namespace velm
