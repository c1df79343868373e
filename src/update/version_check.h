#pragma once
// The announcement pane's rules: which addresses it keeps, the version marker of the demo page, the
// comparison with the program's own version and the installer's name. Page text is code page 950 bytes.
#include "settings/version.h"

#include <string>
#include <string_view>

namespace velm {

inline constexpr const char *kDemoPage = "demo.html";
inline constexpr const char *kSecondDemoPage = "demo2.html";
inline constexpr const char *kVersionMarker = "NewVer=";

// The pane runs the check for addresses holding "demo.html"; it loads those and "demo2.html" ones itself.
bool IsDemoPage(std::string_view url);
bool StaysInDemoPane(std::string_view url);
// Addresses from a remote page go to the desktop only for these schemes: http, https and mailto.
bool MayOpenOnDesktop(std::string_view url);

// The page from its body's start tag on, where the marker is looked for; all of it when it has none.
std::string_view DemoPageBody(std::string_view markup);
// The text after the first "NewVer=" up to the next ">", without blanks and control characters at its
// ends; empty when there is no marker or no ">" after it.
std::string VersionMarker(std::string_view markup);
// Byte by byte as unsigned bytes; a text that begins the other is the smaller one.
bool IsNewerVersion(std::string_view version, std::string_view own = kProgramVersion);
// "VELM_V" + the version's first character + "_" + its third + ".EXE": 1.7 gives VELM_V1_7.EXE. A character
// that cannot stand in a file name becomes "_".
std::string InstallerFileName(std::string_view version);

} // namespace velm
