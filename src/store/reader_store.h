#pragma once
// The reader's own file: read marks, bookmarks and the archives opened lately, kept apart from every archive
// so that imports, a reconversion or a new archive version leave them alone. Texts and paths are UTF-8.
#include "sqlite/sqlite_db.h"
#include "store/archive_identity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velm {

// What the reader saw of a topic when it was read: an import that adds replies changes it.
struct TopicSeen {
    std::string lastPost; // T_LAST_POST
    std::int64_t replies = 0;
};

// A read mark, as written: the topic and what it looked like then.
struct TopicMark {
    std::int64_t topicId = 0;
    TopicSeen seen;
};

enum class BookmarkKind : char { Topic = 'T', Forum = 'F' };

struct Bookmark {
    ArchiveKey archive = 0;
    BookmarkKind kind = BookmarkKind::Topic;
    std::int64_t id = 0;
    std::string title;       // the subject or forum name when it was added
    std::string archivePath; // where that archive was opened last
};

class ReaderStore {
public:
    static constexpr int kSchemaVersion = 1;
    static constexpr std::size_t kRecentLimit = 8;

    // reader-state.db in $XDG_DATA_HOME/velm-reader/.
    static std::string defaultPath();

    // Opens the store at path, creating it (and its folder) when missing. A file that is damaged or not a
    // store of this program (another database, an unknown version, not a database) is renamed aside, never
    // deleted, and a new one is started; setAsideNotice() then says so. Errors name the file.
    explicit ReaderStore(std::string path);
    // The store at path only when it is there and sound, for a reader that writes nothing; otherwise nothing,
    // with the reason in *notice when the file is there but unusable.
    static std::optional<ReaderStore> openExisting(const std::string &path, std::string *notice);

    ReaderStore(ReaderStore &&) = default;
    ReaderStore &operator=(ReaderStore &&) = default;

    const std::string &path() const { return m_path; }
    // The message for the user when the file found was set aside; empty otherwise.
    const std::string &setAsideNotice() const { return m_notice; }

    // The store's key of the archive whose sample this is: a known archive that shares enough of the sample,
    // whose sample and path are then brought up to date, or a new one (none when create is false).
    std::optional<ArchiveKey> identify(const ArchiveSample &sample, const std::string &archivePath, bool create = true);

    std::unordered_map<std::int64_t, TopicSeen> readMarks(ArchiveKey archive) const;
    // Marks the topics read as they are now, in one transaction.
    void markRead(ArchiveKey archive, const std::vector<TopicMark> &marks);

    // Every bookmark, archive by archive (the archive opened last first), each archive's in the order added.
    std::vector<Bookmark> bookmarks() const;
    bool isBookmarked(ArchiveKey archive, BookmarkKind kind, std::int64_t id) const;
    void addBookmark(ArchiveKey archive, BookmarkKind kind, std::int64_t id, const std::string &title);
    void removeBookmark(ArchiveKey archive, BookmarkKind kind, std::int64_t id);

    // The archives opened lately, the last first, at most kRecentLimit.
    std::vector<std::string> recentArchives() const;
    void rememberArchive(const std::string &archivePath);
    void forgetArchive(const std::string &archivePath);

private:
    ReaderStore() = default;
    void create();
    // The reason the open file is no store of ours; empty when it is one.
    std::string unsoundReason();
    void setAside(const std::string &why);

    std::string m_path;
    std::string m_notice;
    sqlite::DatabasePtr m_db;
};

} // namespace velm
