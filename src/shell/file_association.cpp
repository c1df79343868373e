#include "file_association.h"

#include "cp950.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;

namespace velm {
namespace {

constexpr std::chrono::seconds kRefreshTimeLimit{10};
constexpr const char *kDefaultsSection = "[Default Applications]";

const std::string kIconSvg = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">
  <rect x="2" y="2" width="44" height="44" rx="8" fill="#1f3f7a"/>
  <path d="M9 12h11l4 14 4-14h11L29 38h-10z" fill="#ffffff"/>
  <path d="M8 40c6-3 10-3 16 0c6-3 10-3 16 0" stroke="#9fd39f" stroke-width="3" fill="none"/>
</svg>
)svg";

struct Names {
    std::string extension; // with its dot
    std::string mimeType;
    std::string id; // file names of the package and the desktop entry
};

std::string lowerAscii(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Letters, digits and ".+-" survive; anything else would make a file or type name of another shape.
std::string nameSafe(const std::string &text)
{
    std::string out;
    for (char c : text) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '+' || c == '-';
        out += keep ? c : '-';
    }
    return out;
}

bool isMimeType(const std::string &text)
{
    const size_t slash = text.find('/');
    return slash != std::string::npos && slash > 0 && slash + 1 < text.size() &&
           text.find('/', slash + 1) == std::string::npos && nameSafe(text.substr(0, slash)) == text.substr(0, slash) &&
           nameSafe(text.substr(slash + 1)) == text.substr(slash + 1);
}

std::string xmlEscaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A desktop entry string value: backslashes and line ends escaped.
std::string desktopString(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

// One Exec argument: quoted when it holds a reserved character, "%" doubled so it is no field code.
std::string execArgument(const std::string &argument)
{
    const bool quote = argument.empty() || argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
    std::string out;
    for (char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        out += c;
        if (c == '%')
            out += '%';
    }
    return quote ? '"' + out + '"' : out;
}

Names namesFor(std::string extension, std::string typeName, const std::string &contentType)
{
    if (extension.front() != '.')
        extension.insert(extension.begin(), '.');
    if (typeName.empty())
        typeName = extension.substr(1) + "file";
    Names names;
    names.extension = fromCp950(extension);
    const std::string type = lowerAscii(nameSafe(typeName));
    names.mimeType = isMimeType(contentType) ? lowerAscii(contentType) : "application/x-" + type;
    names.id = std::string(kProgramIconName) + "-" + type;
    return names;
}

std::string mimePackage(const Names &names, const std::string &description)
{
    std::string globs;
    const std::string given = "*" + names.extension;
    for (const std::string &glob : {given, lowerAscii(given)})
        if (globs.find("\"" + xmlEscaped(glob) + "\"") == std::string::npos)
            globs += "    <glob pattern=\"" + xmlEscaped(glob) + "\"/>\n";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + names.mimeType + "\">\n"
           "    <comment>" + xmlEscaped(description) + "</comment>\n"
           "    <icon name=\"" + kProgramIconName + "\"/>\n" + globs +
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string desktopEntry(const Names &names, const std::string &description, const std::string &programPath)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=Velm Reader\n"
           "Name[zh_TW]=Velm討論區 離線閱讀包\n"
           "Comment=" + desktopString(description) + "\n"
           "Exec=" + desktopString(execArgument(programPath)) + " %f\n"
           "Icon=" + kProgramIconName + "\n"
           "MimeType=" + names.mimeType + ";\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

bool readFile(const fs::path &path, std::string &content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    content = text.str();
    return true;
}

// Writes through a temporary file and a rename, so a reader never sees half a file; an unchanged file
// is left alone. False when the folder or the file cannot be written.
bool writeFile(const fs::path &path, const std::string &content, bool &changed)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec || !fs::is_directory(path.parent_path()))
        return false;
    std::string old;
    if (readFile(path, old) && old == content)
        return true;
    const fs::path temporary = path.string() + ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    changed = true;
    return true;
}

// mimeapps.list with our type's default line set in [Default Applications]; every other line is kept.
std::string withDefault(const std::string &list, const std::string &mimeType, const std::string &desktopId)
{
    const std::string line = mimeType + "=" + desktopId + ";";
    std::istringstream in(list);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    bool inDefaults = false;
    size_t sectionEnd = lines.size();
    bool sectionFound = false;
    bool done = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        const std::string &l = lines[i];
        if (!l.empty() && l.front() == '[') {
            if (inDefaults) {
                sectionEnd = i;
                break;
            }
            inDefaults = l == kDefaultsSection;
            sectionFound = sectionFound || inDefaults;
            continue;
        }
        if (inDefaults && l.starts_with(mimeType + "=")) {
            lines[i] = line;
            done = true;
        }
    }
    if (!done) {
        if (sectionFound) {
            while (sectionEnd > 0 && lines[sectionEnd - 1].empty())
                --sectionEnd;
            lines.insert(lines.begin() + static_cast<long>(sectionEnd), line);
        } else {
            if (!lines.empty() && !lines.back().empty())
                lines.emplace_back();
            lines.emplace_back(kDefaultsSection);
            lines.push_back(line);
        }
    }
    std::string out;
    for (const std::string &l : lines)
        out += l + "\n";
    return out;
}

fs::path xdgFolder(const char *variable, const char *fallbackUnderHome)
{
    if (const char *value = std::getenv(variable); value && *value == '/')
        return value;
    if (const char *home = std::getenv("HOME"); home && *home)
        return fs::path(home) / fallbackUnderHome;
    return {};
}

fs::path findTool(const std::string &name)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty())
            continue;
        const fs::path candidate = fs::path(folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// A started tool, always waited for; one that overruns its time is stopped.
class ChildProcess {
public:
    ChildProcess(const fs::path &tool, const fs::path &argument)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::string toolText = tool.string();
        std::string argumentText = argument.string();
        char *argv[] = {toolText.data(), argumentText.data(), nullptr};
        if (posix_spawn(&m_pid, tool.c_str(), &actions, nullptr, argv, environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ChildProcess() { wait(); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    void wait()
    {
        if (m_pid <= 0)
            return;
        const auto deadline = std::chrono::steady_clock::now() + kRefreshTimeLimit;
        while (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

// A database is rebuilt when its sources changed or it was never built (its tool came later).
void refresh(const char *toolName, const fs::path &folder, const fs::path &cache, bool changed)
{
    if (!changed && fs::exists(cache))
        return;
    if (const fs::path tool = findTool(toolName); !tool.empty())
        ChildProcess(tool, folder).wait();
}

void registerSteps(const std::string &extension, const std::string &typeName, const std::string &description,
                      const std::string &programPath, const std::string &contentType)
{
    if (extension.empty() || programPath.empty())
        return;
    const fs::path dataHome = xdgFolder("XDG_DATA_HOME", ".local/share");
    const fs::path configHome = xdgFolder("XDG_CONFIG_HOME", ".config");
    if (dataHome.empty() || configHome.empty())
        return;
    const Names names = namesFor(extension, typeName, contentType);
    const std::string text = fromCp950(description);

    bool mimeChanged = false;
    bool desktopChanged = false;
    bool unused = false;
    const fs::path mime = dataHome / "mime";
    const fs::path applications = dataHome / "applications";
    if (!writeFile(mime / "packages" / (names.id + ".xml"), mimePackage(names, text), mimeChanged))
        return;
    if (!writeFile(applications / (names.id + ".desktop"), desktopEntry(names, text, programPath), desktopChanged))
        return;
    const fs::path icon = dataHome / "icons/hicolor/scalable/apps" / (std::string(kProgramIconName) + ".svg");
    if (!writeFile(icon, kIconSvg, unused))
        return;
    const fs::path mimeApps = configHome / "mimeapps.list";
    std::string list;
    readFile(mimeApps, list);
    if (!writeFile(mimeApps, withDefault(list, names.mimeType, names.id + ".desktop"), unused))
        return;
    refresh("update-mime-database", mime, mime / "mime.cache", mimeChanged);
    refresh("update-desktop-database", applications, applications / "mimeinfo.cache", desktopChanged);
}

} // namespace

void RegisterFileType(const std::string &extension, const std::string &typeName, const std::string &description,
                      const std::string &programPath, const std::string &contentType)
{
    try {
        registerSteps(extension, typeName, description, programPath, contentType);
    } catch (const std::exception &) {
        // Registration is a courtesy to the desktop: whatever fails here, start-up goes on.
    }
}

const std::string &ProgramIconSvg()
{
    return kIconSvg;
}

} // namespace velm
