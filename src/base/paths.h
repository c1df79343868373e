#pragma once
// File names and paths in core code are UTF-8, the encoding of the file system.
#include <string>

namespace velm {

// The program's own executable, as an absolute path.
std::string executablePath();

// The program folder with its trailing separator: the executable's folder when it can be written
// (a portable install or a build folder), otherwise $XDG_DATA_HOME/velm-reader/.
std::string programFolder();

// The read-only data an installed program brings along (the demo archive), with the trailing separator:
// <executable's folder>/../share/velm-reader/ in the layout of an install.
std::string installedDataFolder();

// Gives a program folder that holds no archive (neither velm.mdb nor velm.sqlite) a copy of the demo
// archive as velm.sqlite, so that an installed program opens something on its first start. Nothing
// happens when the folder has an archive or there is no demo (a build keeps its demo in the program
// folder already). True when it copied. Programs starting together make one copy between them, and a
// copy is never seen half written. An error names the file that could not be read or written.
bool provideDemoArchive(const std::string &programFolder, const std::string &demoArchive);
// The same with the demo archive of the install: velm.sqlite in installedDataFolder().
bool provideDemoArchive(const std::string &programFolder);

// Text with the path separator appended unless it already ends in one.
std::string AddBackslash(std::string path);

// The platform's path separator as text ("/" here, "\" on Windows).
constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

} // namespace velm
