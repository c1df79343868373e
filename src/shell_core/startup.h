#pragma once
// Pieces of start-up that need no window: the server list, the archive's connection text, the
// command-line package path.
#include <random>
#include <string>
#include <vector>

namespace velm {

// Puts the list in random order, every order equally likely.
void ShuffleList(std::vector<std::string> &list, std::mt19937 &random);
void ShuffleList(std::vector<std::string> &list);

// The start-up archive's connection text for a program folder (which ends in a separator).
std::string startupConnectionText(const std::string &programFolder);

// Command-line parameters joined by single blanks: a path with blanks arrives split and is joined back.
std::string joinArguments(const std::vector<std::string> &arguments);

} // namespace velm
