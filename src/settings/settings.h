#pragma once
// The settings store: named text values, absent ones reading as empty text. A stored value that is not
// plain text (a hand-edited or foreign file) reads as absent.
// Values are code page 950 text in core code; the store keeps them as Unicode.
#include "base/cp950.h"

#include <string>
#include <vector>

namespace velm {

// The application key under which every value lives.
inline constexpr const char *kAppKey = "VELM_Reader";

// Where the values of an application key are kept: an INI file in the user's configuration folder.
std::string settingsFilePath(const std::string &appKey);

Big5Text ReadSetting(const std::string &appKey, const std::string &name);
// A value that cannot be stored is an error naming it.
void WriteSetting(const std::string &appKey, const std::string &name, const Big5Text &value);

// The forum's web server, "http://" + host + "/"; the ForumBaseURL value overrides it. Addresses are UTF-8
// text, like file names: a host or folder beyond ASCII is read as the user wrote it.
std::string ForumBaseURL();
// The download servers' folders (UTF-8) in their listed order (secondary, then primary), before shuffling;
// the DownloadMirror1 and DownloadMirror2 values override them.
std::vector<std::string> DownloadMirrorList();

// Whether posts show their pictures (the only thing a post may fetch): only "N" in ShowPictures turns them off.
bool ShowPictures();

} // namespace velm
