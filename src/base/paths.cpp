#include "paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velm {

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
    fs::path data;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char *home = std::getenv("HOME"); home && *home)
        data = fs::path(home) / ".local" / "share";
    else
        data = fs::temp_directory_path();
    const fs::path folder = data / "velm-reader";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder.string() + kPathSeparator;
}

} // namespace velm
