#include "packages/online_update.h"

#include "archive/database.h"
#include "archive/util.h"
#include "base/cp950.h"
#include "base/error.h"
#include "base/open_files.h"
#include "base/percent.h"
#include "base/progress.h"
#include "packages/http_client.h"
#include "packages/package_file.h"
#include "packages/package_import.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace velm {
namespace {

bool g_updateRunning = false;

class UpdateRunning {
public:
    UpdateRunning() { g_updateRunning = true; }
    ~UpdateRunning() { g_updateRunning = false; }
    UpdateRunning(const UpdateRunning &) = delete;
    UpdateRunning &operator=(const UpdateRunning &) = delete;
};

void removeQuietly(const std::string &path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
}

// The list file goes however the reading of it ends.
class RemovedAtEnd {
public:
    explicit RemovedAtEnd(std::string path) : m_path(std::move(path)) {}
    ~RemovedAtEnd() { removeQuietly(m_path); }
    RemovedAtEnd(const RemovedAtEnd &) = delete;
    RemovedAtEnd &operator=(const RemovedAtEnd &) = delete;

private:
    std::string m_path;
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        raiseUtf8("無法讀取 " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string bytes(std::string_view text, std::size_t from, std::size_t count)
{
    return from < text.size() ? std::string(text.substr(from, count)) : std::string();
}

// A file name made of list bytes must stay one path segment of a valid address.
std::string urlSegment(std::string_view name)
{
    return percentEncoded(name, isUriUnreserved);
}

} // namespace

std::vector<std::string> UpdateListLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string PackageListTitle(std::string_view line)
{
    return bytes(line, 0, kPackageTitleBytes);
}

std::string PackageKey(std::string_view title)
{
    return bytes(title, 0, kPackageKeyBytes);
}

std::string PackageFileName(std::string_view title)
{
    return bytes(title, 0, 4) + "W" + bytes(title, 6, 2) + ".VLP";
}

bool UsableListLine(std::string_view line)
{
    // Bytes that form no character decode to U+FFFD, which no code page 950 character does.
    return line.find('\0') == std::string_view::npos && fromCp950(line).find("\xEF\xBF\xBD") == std::string::npos;
}

std::vector<std::string> MissingPackages(const std::vector<std::string> &lines, Connection &archive)
{
    std::vector<std::string> missing;
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->empty() || !UsableListLine(*line))
            continue;
        const std::string title = PackageListTitle(*line);
        const std::string key = PackageKey(title);
        Value recorded;
        SQLLookup("SELECT UPD_TITLE FROM UPDATELOG WHERE UPD_TITLE LIKE '" + QuoteDoubled(LikePatternLiteral(key)) +
                      "%' ESCAPE '\\'",
                  recorded, false, &archive);
        if (PackageKey(PackageListTitle(recorded.toText())) != key)
            missing.push_back(title);
    }
    return missing;
}

OnlineUpdateResult RunOnlineUpdate(UpdateStart start, const OnlineUpdateSources &sources, Downloader &downloader,
                                   Connection &archive, Connection &package, ImportHost &host,
                                   const UpdateQuestions &questions)
{
    OnlineUpdateResult result;
    if (g_updateRunning) {
        // Imports let window messages run, so the toolbar can ask for a second run in the middle of one.
        if (start == UpdateStart::Toolbar)
            raiseUtf8("補充包更新正在進行中，請等它完成");
        result.outcome = UpdateOutcome::AlreadyRunning;
        return result;
    }
    UpdateRunning running;
    if (archive.readOnly()) {
        if (start == UpdateStart::Toolbar)
            RequireWritableArchive(archive);
        result.outcome = UpdateOutcome::ReadOnlyArchive;
        return result;
    }

    const std::string folder = AddBackslash(sources.programFolder);
    const std::string listPath = folder + "update.htm";
    const std::string vlp = folder + "TEMP.VLP";
    const std::string mdb = folder + "TEMP.MDB";
    // The run writes and removes these files: an archive of that name held open here would be lost.
    for (const std::string *work : {&listPath, &vlp, &mdb})
        if (heldOpenAs(*work))
            raiseUtf8("無法更新補充包: " + *work + " 正由本程式開啟使用中");
    if (!downloader.DownloadFile(sources.forumBaseUrl + "velmpack/update.htm", listPath, kUpdateListLimit))
        return result;
    std::vector<std::string> missing;
    std::vector<std::string> lines;
    {
        RemovedAtEnd listFile(listPath);
        lines = UpdateListLines(readFile(listPath));
        ExecuteQuietly(kCreateUpdateLogSql, archive);
        missing = MissingPackages(lines, archive);
    }
    result.skipped = static_cast<int>(std::count_if(
        lines.begin(), lines.end(), [](const std::string &line) { return !line.empty() && !UsableListLine(line); }));

    result.offered = static_cast<int>(missing.size());
    if (missing.empty() && !lines.empty()) {
        if (start == UpdateStart::Toolbar && questions.showMessage)
            questions.showMessage(Big5Text(B5("您的資料已經都是最新的了!")));
        result.outcome = UpdateOutcome::UpToDate;
        return result;
    }
    const Big5Text question(B5("找到補充包檔案總數") + std::to_string(missing.size()) + B5("個，現在更新嗎?"));
    if (!questions.askYesNo || !questions.askYesNo(question)) {
        result.outcome = UpdateOutcome::Declined;
        return result;
    }

    result.outcome = UpdateOutcome::Fetched;
    ProgressSink &progress = host.progress();
    const std::string count = std::to_string(missing.size());
    for (std::size_t i = 0; i < missing.size(); ++i) {
        const std::string &title = missing[i];
        progress.setRange(0, 0);
        progress.setCaption(std::to_string(i + 1) + "/" + count + B5(" 下載補充包...") + title);
        progress.show();
        const std::string fileName = urlSegment(PackageFileName(title));
        for (const std::string &mirror : sources.mirrors) {
            removeQuietly(vlp);
            removeQuietly(mdb);
            if (downloader.DownloadFile(mirror + fileName, vlp) && ExpandPackage(vlp, mdb)) {
                ImportPackage(mdb, archive, package, host);
                ExecuteQuietly("INSERT INTO UPDATELOG VALUES('" + QuoteDoubled(title) + "','" +
                                   UpdateLogDate(host.now()) + "')",
                               archive);
                ++result.imported;
                break;
            }
            removeQuietly(vlp);
            removeQuietly(mdb);
        }
        progress.close();
    }
    return result;
}

} // namespace velm
