#pragma once
// The online package update: the server's list of packages against the UPDATELOG record, then every
// missing package fetched, expanded, imported and recorded. Texts are code page 950; URLs and paths UTF-8.
#include "base/cp950.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

class Connection;
class Downloader;
class ImportHost;

// From the toolbar "all up to date" is said; the run the version check starts says nothing then.
enum class UpdateStart { Toolbar, Automatic };

struct OnlineUpdateSources {
    std::string forumBaseUrl;         // ends in "/"
    std::vector<std::string> mirrors; // folder addresses ending in "/", in the order they are tried
    std::string programFolder;        // where update.htm, TEMP.VLP and TEMP.MDB are written
};

// The two message boxes of a run.
struct UpdateQuestions {
    std::function<bool(const Big5Text &text)> askYesNo;
    std::function<void(const Big5Text &text)> showMessage;
};

enum class UpdateOutcome { ListUnavailable, UpToDate, Declined, Fetched, AlreadyRunning, ReadOnlyArchive };

struct OnlineUpdateResult {
    UpdateOutcome outcome = UpdateOutcome::ListUnavailable;
    int offered = 0;  // packages the question named
    int imported = 0; // of them, imported and recorded
    int skipped = 0;  // lines of the list passed over as unreadable (see UsableListLine)
};

// A longer update list is refused as it arrives: it names packages, a line each.
inline constexpr std::int64_t kUpdateListLimit = 1024 * 1024;

inline constexpr std::size_t kPackageTitleBytes = 32;
inline constexpr std::size_t kPackageKeyBytes = 10;

// The lines of the list page: CR LF, CR or LF ends a line, and text after the last end is a line too.
std::vector<std::string> UpdateListLines(std::string_view text);
// A line's first 32 bytes, and that title's first 10 bytes (2004年05週).
std::string PackageListTitle(std::string_view line);
std::string PackageKey(std::string_view title);
// Title bytes 1-4 + "W" + bytes 7-8 + ".VLP": 2004年05週 gives 2004W05.VLP.
std::string PackageFileName(std::string_view title);

// False for a line that holds a NUL byte or bytes forming no code page 950 character: such a line names
// no package the archive could record, and is passed over.
bool UsableListLine(std::string_view line);

// The titles of the non-empty usable lines whose key begins no UPDATELOG title (compared byte for byte,
// with % and _ of the key taken literally), from the last line to the first.
std::vector<std::string> MissingPackages(const std::vector<std::string> &lines, Connection &archive);

// The whole run (ToolButton15Click). A list that cannot be fetched, or is longer than kUpdateListLimit, ends it
// as ListUnavailable (the downloader tells why). An import error ends it and passes on; packages imported before
// it stay imported and recorded. A run started while another is going refuses from the toolbar with an
// error and does nothing when automatic; so does a run on an archive that takes no writes. A work file
// of the run (update.htm, TEMP.VLP, TEMP.MDB) that this process holds open is an error.
OnlineUpdateResult RunOnlineUpdate(UpdateStart start, const OnlineUpdateSources &sources, Downloader &downloader,
                                   Connection &archive, Connection &package, ImportHost &host,
                                   const UpdateQuestions &questions);

} // namespace velm
