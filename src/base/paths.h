#pragma once
// File names and paths in core code are UTF-8, the encoding of the file system.
#include <string>

namespace velm {

// The program's own executable, as an absolute path.
std::string executablePath();

// The program folder with its trailing separator: the executable's folder when it can be written
// (a portable install or a build folder), otherwise $XDG_DATA_HOME/velm-reader/.
std::string programFolder();

// The platform's path separator as text ("/" here, "\" on Windows).
constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

} // namespace velm
