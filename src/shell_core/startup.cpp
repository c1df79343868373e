#include "shell_core/startup.h"

#include "base/paths.h"

#include <algorithm>

namespace velm {

void ShuffleList(std::vector<std::string> &list, std::mt19937 &random)
{
    std::shuffle(list.begin(), list.end(), random);
}

void ShuffleList(std::vector<std::string> &list)
{
    static std::mt19937 random{std::random_device{}()};
    ShuffleList(list, random);
}

std::string startupConnectionText(const std::string &programFolder)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + programFolder + kPathSeparator +
           "velm.mdb;Persist Security Info=False";
}

std::string joinArguments(const std::vector<std::string> &arguments)
{
    std::string path;
    for (const std::string &argument : arguments)
        path += argument + ' ';
    if (!path.empty())
        path.pop_back(); // the blank after the last parameter is not part of the name
    return path;
}

} // namespace velm
