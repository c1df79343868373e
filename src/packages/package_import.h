#pragma once
// Merging a package database into the archive table by table, and the UPDATELOG record of it.
// Texts are code page 950; paths are UTF-8.
#include <string>

namespace velm {

class Connection;
class ProgressSink;

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalTime CurrentLocalTime();

// What an import shows while it runs: the window, the command line and tests each give their own.
class ImportHost {
public:
    virtual ~ImportHost() = default;
    // The main window's status bar.
    virtual void setStatusText(const std::string &cp950) = 0;
    // The shared progress window.
    virtual ProgressSink &progress() = 0;
    // Lets pending window messages run once.
    virtual void processEvents() = 0;
    virtual LocalTime now() const { return CurrentLocalTime(); }
};

// Refuses, saying why, when the archive takes no writes (it lies on a read-only medium or in a folder the
// user cannot write): a package can then not be imported into it.
void RequireWritableArchive(const Connection &archive);

// One step of the merge plan.
struct MergeStep {
    const char *table;
    const char *keys; // key columns, ";" between
    const char *text; // UTF-8 step text
};
inline constexpr MergeStep kMergePlan[] = {
    {"FORUM_MEMBERS", "MEMBER_ID", "匯入會員資料..."},       {"FORUM_CATEGORY", "CAT_ID", "匯入目錄資料..."},
    {"FORUM_FORUM", "FORUM_ID", "匯入討論區資料..."},        {"FORUM_TOPICS", "TOPIC_ID", "匯入主題文章..."},
    {"FORUM_REPLY", "TOPIC_ID;REPLY_ID", "匯入回覆文章..."},
};

inline constexpr const char *kCreateUpdateLogSql = "CREATE TABLE UPDATELOG (UPD_TITLE CHAR(40),UPD_DATE CHAR(20)) ";

// Merges the five forum tables of the package database at path into the archive, then records the
// package in UPDATELOG when its file name has the week form, all in one transaction: other connections
// see the archive before or after it, and a killed process leaves it as it was; an import of another
// process is waited for. Errors end the import; the rows merged before the failing row are committed,
// nothing is recorded, and the message names the step and the table. The package connection is left closed.
void ImportPackage(const std::string &path, Connection &archive, Connection &package, ImportHost &host);

// Replaces or adds every row of the package table in the archive; a row's delete and insert take
// effect together or not at all.
void MergeTable(const std::string &table, const std::string &keys, Connection &archive, Connection &package,
                ImportHost &host);

// The toolbar import after the package connection was pointed at the chosen file: a .vlp (any letter
// case) is expanded beside itself first. False when the expansion failed (nothing shown, nothing merged;
// the reason in *whyUtf8 when given).
bool ImportChosenPackage(Connection &archive, Connection &package, ImportHost &host, std::string *whyUtf8 = nullptr);

// The UPDATELOG title of the package file at path (UTF-8, a .vlp or its expanded .mdb alike) when the
// archive records it as imported already; empty otherwise.
std::string RecordedPackageTitle(const std::string &path, Connection &archive);

// The record title of a package file name (code page 950 bytes, with extension): 2004W05.mdb gives
// 2004年05週; empty when the name does not have the week form.
std::string PackageTitle(const std::string &fileNameCp950);
// UPD_DATE text: 2004/03/21 14:05:09.
std::string UpdateLogDate(const LocalTime &time);

} // namespace velm
