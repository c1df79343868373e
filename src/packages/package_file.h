#pragma once
// Package files (.VLP): a 4-byte little-endian length N, then one zlib stream whose output begins
// with the N bytes of an Access database file.
#include <cstddef>
#include <string>

namespace velm {

// Input is fed to the inflater in chunks of this size.
inline constexpr std::size_t kPackageChunkSize = 65536;

// Expands the package at source (UTF-8 path) into a new file at destination, replacing a file of that
// name only on success. False on any failure, with the reason in *whyUtf8 when given (a sentence naming
// the file); nothing is shown and no partial file is left behind, even when the process is killed.
bool ExpandPackage(const std::string &source, const std::string &destination, std::string *whyUtf8 = nullptr);

// True when the path's extension is ".vlp" in any letter case.
bool isPackageFileName(const std::string &path);
// The path with only its extension replaced by ".mdb": D:/old.vlp.files/2004W05.VLP → .../2004W05.mdb.
std::string expandedPackageName(const std::string &path);

} // namespace velm
