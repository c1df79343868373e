#pragma once
// Archives made by earlier versions of the reader, brought to the current form once when opened.
#include <functional>
#include <string>

struct sqlite3;

namespace velm {

class ProgressSink;

// The form an archive has, kept in PRAGMA user_version. Form 1: text columns compare without regard to
// the case of ASCII letters (COLLATE NOCASE), as the archive's original database did.
inline constexpr int kArchiveForm = 1;

// Whether the tables of an open archive predate the current form.
bool archiveNeedsUpgrade(sqlite3 *db);

// Gives every table whose text columns lack the case-blind comparison that comparison, all in one
// transaction that also records the form. A plain table (every archive's) keeps its rows and rowids where
// they are: its declaration is rewritten and its indexes built again, so the file does not grow; any other
// table is copied row by row into a new one, with its indexes. Free disk space for the work is checked
// first. The progress window shows the tables (progress may be null) and tableStarted hears each table's
// name (UTF-8). On failure (too little disk space: how much is needed) nothing has changed and the error,
// naming the file, is thrown as Error.
void upgradeArchive(sqlite3 *db, const std::string &path, ProgressSink *progress,
                    const std::function<void(const std::string &table)> &tableStarted = {});

// Marks a new archive, whose text columns were made case-blind, as being of the current form.
void markCurrentForm(sqlite3 *db);

// A column declaration with the case-blind comparison added where the type is text.
std::string caseBlindDeclaration(const std::string &declaredType);

} // namespace velm
