#pragma once
// The package file association on the freedesktop.org standards: opening a package starts the reader with it.
#include <string>

namespace velm {

// Makes programPath the opener of files with the extension. An install that brings its own desktop entry
// (velm-reader.desktop, in a data folder of $XDG_DATA_HOME or $XDG_DATA_DIRS, opening the type with this very
// program) and the type's package beside it needs nothing more: then nothing is written. Otherwise, rewritten at
// every start: a shared-mime-info package (the type, its description, globs in the given and in lower case), a
// desktop entry whose command is the program path and " %f", the program's icon, the entry as the type's
// default application unless the user's mimeapps.list names another, and a refresh of the two databases when
// their tools are present. Everything goes under $XDG_DATA_HOME (default ~/.local/share), the default under
// $XDG_CONFIG_HOME (default ~/.config).
// An empty extension or program path does nothing; a folder that cannot be written ends the registration
// silently at that step. Extension, type name, description and content type are code page 950; the
// program path is UTF-8. An empty type name becomes the extension without its dot followed by "file".
// Called on the thread of a QCoreApplication, the call returns with the files written and the refreshes
// running in the background, one at a time; those left when the application ends are finished then.
// Without an application each refresh is waited for (at most ten seconds, then its tool is stopped).
void RegisterFileType(const std::string &extension, const std::string &typeName, const std::string &description,
                      const std::string &programPath, const std::string &contentType);

// True while a refresh that a registration started in the background waits or runs.
bool FileTypeRefreshPending();

// The program's icon as installed, SVG text.
const std::string &ProgramIconSvg();

// The icon's theme name and the prefix of every file the registration writes.
inline constexpr const char *kProgramIconName = "velm-reader";

} // namespace velm
