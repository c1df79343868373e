#pragma once
// The files this process holds open. Closing any descriptor of a file drops every POSIX lock the process
// holds on it, SQLite's included: a file held open (an archive, its -wal or -shm) is never opened again
// except through SQLite.
#include <optional>
#include <string>

namespace velm {

// The name under which this process holds the file at path open (the same device and inode as one of its
// descriptors), or nothing. Found with stat alone: nothing is opened.
std::optional<std::string> heldOpenAs(const std::string &path);

// Whether a name is that of a database's side file (-wal, -shm or -journal), which is never an archive.
bool isDatabaseSideFile(const std::string &name);

} // namespace velm
