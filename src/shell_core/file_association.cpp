#include "shell_core/file_association.h"

#include "base/cp950.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QString>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <sstream>
#include <vector>

namespace velm {
namespace {

constexpr std::chrono::milliseconds kRefreshTimeLimit{10000};
constexpr const char *kDefaultsSection = "[Default Applications]";
constexpr const char *kEntrySection = "[Desktop Entry]";
// The icon is data/icons/velm-reader.svg, built in as a resource: the install and the registration share it.
constexpr const char *kIconResource = ":/icons/velm-reader.svg";

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

// Markup's special characters (&, <, >, ") as references, for text and attribute values.
std::string xmlEscaped(const std::string &utf8)
{
    return QString::fromStdString(utf8).toHtmlEscaped().toStdString();
}

// A desktop entry string value: backslashes and line ends escaped.
std::string desktopString(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
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
           "  <mime-type type=\"" +
           names.mimeType +
           "\">\n"
           "    <comment>" +
           xmlEscaped(description) +
           "</comment>\n"
           "    <icon name=\"" +
           kProgramIconName + "\"/>\n" + globs +
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
           "Comment=" +
           desktopString(description) +
           "\n"
           "Exec=" +
           desktopString(execArgument(programPath)) +
           " %f\n"
           "Icon=" +
           kProgramIconName +
           "\n"
           "MimeType=" +
           names.mimeType +
           ";\n"
           "NoDisplay=true\n"
           "Terminal=false\n";
}

QString qText(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

bool readFile(const QString &path, std::string &content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    content = file.readAll().toStdString();
    return true;
}

// Writes through a temporary file and a rename, so a reader never sees half a file; an unchanged file
// is left alone. False when the folder or the file cannot be written.
bool writeFile(const QString &path, const std::string &content, bool &changed)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    std::string old;
    if (readFile(path, old) && old == content)
        return true;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content.data(), static_cast<qint64>(content.size()));
    if (!file.commit())
        return false;
    changed = true;
    return true;
}

// The value of the line "key=..." in a section of a desktop entry or mimeapps.list; nothing when absent.
std::optional<std::string> valueIn(const std::string &text, const std::string &section, const std::string &key)
{
    std::istringstream in(text);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.front() == '[')
            inside = line == section;
        else if (inside && line.starts_with(key + "="))
            return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

// The program an Exec line starts: its first word, unquoted, found on the PATH when it names no folder.
QString execProgram(const std::string &exec)
{
    std::string word;
    if (!exec.empty() && exec.front() == '"') {
        for (size_t i = 1; i < exec.size() && exec[i] != '"'; ++i)
            word += exec[i] == '\\' && i + 1 < exec.size() ? exec[++i] : exec[i];
    } else {
        word = exec.substr(0, exec.find(' '));
    }
    const QString program = qText(word);
    return program.contains('/') ? program : QStandardPaths::findExecutable(program);
}

// An install's own desktop entry, in a data folder the desktop reads, that opens the type with this very
// program, and the type's package beside it: the desktop has all it needs from the install.
bool installedForTheDesktop(const Names &names, const std::string &programPath)
{
    const QString program = QFileInfo(qText(programPath)).canonicalFilePath();
    if (program.isEmpty())
        return false;
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        std::string entry;
        if (!readFile(folder + "/applications/" + kProgramIconName + ".desktop", entry) ||
            !QFileInfo::exists(folder + "/mime/packages/" + qText(names.id) + ".xml"))
            continue;
        const std::string types = ";" + valueIn(entry, kEntrySection, "MimeType").value_or("");
        if (types.find(";" + names.mimeType + ";") != std::string::npos &&
            QFileInfo(execProgram(valueIn(entry, kEntrySection, "Exec").value_or(""))).canonicalFilePath() == program)
            return true;
    }
    return false;
}

// A default the user chose for the type, in the list we write or in the older one it outranks.
bool usersOwnDefault(const std::vector<std::string> &lists, const std::string &mimeType, const std::string &desktopId)
{
    return std::ranges::any_of(lists, [&](const std::string &list) {
        const std::optional<std::string> chosen = valueIn(list, kDefaultsSection, mimeType);
        return chosen && *chosen != desktopId + ";";
    });
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

// One refresh: a tool rebuilding the database of a folder.
struct Refresh {
    QString tool;
    QString folder;
};

QProcess *refreshProcess(const Refresh &refresh, QObject *parent)
{
    auto *process = new QProcess(parent);
    process->setProgram(refresh.tool);
    process->setArguments({refresh.folder});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    return process;
}

// Waits for a started tool; one that overruns the time left of its limit is stopped.
void finishWithin(QProcess &process, std::chrono::milliseconds left)
{
    if (process.state() == QProcess::NotRunning)
        return;
    if (!process.waitForFinished(static_cast<int>(std::max(left.count(), std::chrono::milliseconds::rep{0})))) {
        process.kill();
        process.waitForFinished(-1);
    }
}

void refreshNow(const Refresh &refresh)
{
    QObject owner;
    QProcess *process = refreshProcess(refresh, &owner);
    process->start();
    finishWithin(*process, kRefreshTimeLimit);
}

// The refreshes of an application, run in the background one after the other: start-up never waits for
// a tool, and two tools never compete for the disk. A refresh asked for while the same folder's refresh
// waits is already covered; while it runs, it is covered unless the sources changed since it started.
// The queue is a child of the application: the refreshes left when the application ends are finished then,
// each within its time limit, so no database stays behind its sources and no tool outlives the program.
class RefreshQueue : public QObject {
public:
    explicit RefreshQueue(QObject *application) : QObject(application) {}
    ~RefreshQueue() override
    {
        if (m_running) {
            m_running->disconnect(this); // its end starts nothing more: what waits is run below
            finishWithin(*m_running, kRefreshTimeLimit - std::chrono::milliseconds(m_clock.elapsed()));
        }
        for (const Refresh &refresh : m_waiting)
            refreshNow(refresh);
    }
    RefreshQueue(const RefreshQueue &) = delete;
    RefreshQueue &operator=(const RefreshQueue &) = delete;

    void request(Refresh refresh, bool sourcesChanged)
    {
        for (const Refresh &waiting : m_waiting)
            if (waiting.folder == refresh.folder)
                return;
        if (m_running && m_runningFolder == refresh.folder && !sourcesChanged)
            return;
        m_waiting.push_back(std::move(refresh));
        startNext();
    }

    bool idle() const { return !m_running && m_waiting.empty(); }

private:
    void startNext()
    {
        if (m_running || m_waiting.empty())
            return;
        const Refresh refresh = m_waiting.front();
        m_waiting.pop_front();
        QProcess *process = refreshProcess(refresh, this);
        m_running = process;
        m_runningFolder = refresh.folder;
        m_clock.start();
        connect(process, &QProcess::finished, this, [this, process] { done(process); });
        connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) // no finished() follows
                done(process);
        });
        QTimer::singleShot(kRefreshTimeLimit, process, &QProcess::kill);
        process->start();
    }

    void done(QProcess *process)
    {
        process->deleteLater();
        if (process != m_running)
            return;
        m_running = nullptr;
        m_runningFolder.clear();
        startNext();
    }

    std::deque<Refresh> m_waiting;
    QProcess *m_running = nullptr;
    QString m_runningFolder;
    QElapsedTimer m_clock;
};

QPointer<RefreshQueue> &refreshQueue()
{
    static QPointer<RefreshQueue> queue;
    return queue;
}

// The application's queue when called on its thread; without an event loop there is none, and a refresh
// is waited for instead.
RefreshQueue *applicationQueue()
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread())
        return nullptr;
    QPointer<RefreshQueue> &queue = refreshQueue();
    if (!queue)
        queue = new RefreshQueue(application);
    return queue;
}

// A database is rebuilt when its sources changed or it was never built (its tool came later).
void refresh(const char *toolName, const QString &folder, const QString &cache, bool changed)
{
    if (!changed && QFileInfo::exists(cache))
        return;
    const QString tool = QStandardPaths::findExecutable(QString::fromLatin1(toolName));
    if (tool.isEmpty())
        return;
    if (RefreshQueue *queue = applicationQueue())
        queue->request({tool, folder}, changed);
    else
        refreshNow({tool, folder});
}

void registerSteps(const std::string &extension, const std::string &typeName, const std::string &description,
                   const std::string &programPath, const std::string &contentType)
{
    if (extension.empty() || programPath.empty())
        return;
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!QDir::isAbsolutePath(dataHome) || !QDir::isAbsolutePath(configHome))
        return;
    const Names names = namesFor(extension, typeName, contentType);
    const std::string text = fromCp950(description);

    if (installedForTheDesktop(names, programPath))
        return;

    bool mimeChanged = false;
    bool desktopChanged = false;
    bool unused = false;
    const QString mime = dataHome + QStringLiteral("/mime");
    const QString applications = dataHome + QStringLiteral("/applications");
    if (!writeFile(mime + "/packages/" + qText(names.id) + ".xml", mimePackage(names, text), mimeChanged))
        return;
    if (!writeFile(applications + "/" + qText(names.id) + ".desktop", desktopEntry(names, text, programPath),
                   desktopChanged))
        return;
    const QString icon = dataHome + "/icons/hicolor/scalable/apps/" + kProgramIconName + ".svg";
    if (!writeFile(icon, ProgramIconSvg(), unused))
        return;
    const QString mimeApps = configHome + QStringLiteral("/mimeapps.list");
    std::string list;
    std::string olderList;
    readFile(mimeApps, list);
    readFile(applications + QStringLiteral("/mimeapps.list"), olderList);
    if (!usersOwnDefault({list, olderList}, names.mimeType, names.id + ".desktop") &&
        !writeFile(mimeApps, withDefault(list, names.mimeType, names.id + ".desktop"), unused))
        return;
    refresh("update-mime-database", mime, mime + QStringLiteral("/mime.cache"), mimeChanged);
    refresh("update-desktop-database", applications, applications + QStringLiteral("/mimeinfo.cache"), desktopChanged);
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

bool FileTypeRefreshPending()
{
    const RefreshQueue *queue = refreshQueue();
    return queue && !queue->idle();
}

const std::string &ProgramIconSvg()
{
    static const std::string svg = [] {
        QFile file(QString::fromLatin1(kIconResource));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }();
    return svg;
}

} // namespace velm
