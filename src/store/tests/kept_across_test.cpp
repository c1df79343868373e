// Read marks and bookmarks outlive what changes an archive: an import and a reconversion of its Access file.
#include "archive/archive_file.h"
#include "archive/database.h"
#include "packages/package_import.h"
#include "packages/tests/import_fixture.h"
#include "store/read_marks.h"
#include "store/reader_store.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;
using namespace velm;

namespace {

bool isRead(sqlite3 *archive, const ReadMarks &marks, std::int64_t topicId)
{
    const std::optional<TopicNow> now = TopicState(archive, topicId);
    return now && marks.isRead(topicId, now->seen.lastPost, now->seen.replies);
}

} // namespace

TEST(KeptAcross, AnImportAndAReconversionKeepMarksAndBookmarks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string mdb = dir.filePath("velm.mdb").toStdString();
    fs::copy_file(VELM_FIXTURES "/archive-small.mdb", mdb);
    fs::copy_file(VELM_FIXTURES "/2004W06.mdb", dir.filePath("2004W06.mdb").toStdString());
    Connection archive;
    archive.setConnectionText(mdb);
    archive.open();
    ReaderStore store(dir.filePath("reader-state.db").toStdString());
    const ArchiveKey key = *store.identify(SampleArchive(archive.handle()), archive.databasePath());
    std::vector<TopicMark> read;
    for (std::int64_t topic : {1001, 1003})
        read.push_back({topic, TopicState(archive.handle(), topic)->seen});
    store.markRead(key, read);
    store.addBookmark(key, BookmarkKind::Topic, 1002, "bookmarked");
    const std::int64_t forumOf1003 = TopicState(archive.handle(), 1003)->forumId;
    const auto topicsOf = [&](std::int64_t forumId) {
        return static_cast<std::int64_t>(ForumTopicMarks(archive.handle(), forumId).size());
    };
    EXPECT_EQ(UnreadCounts(archive.handle(), ReadMarks(store.readMarks(key)))[forumOf1003], topicsOf(forumOf1003) - 1);

    // The package replaces topic 1003 with one more reply and adds newer topics.
    Connection package(Connection::Mode::Package);
    test::RecordingHost host;
    ImportPackage(dir.filePath("2004W06.mdb").toStdString(), archive, package, host);
    ASSERT_EQ(store.identify(SampleArchive(archive.handle()), archive.databasePath()), key);
    ReadMarks marks(store.readMarks(key));
    EXPECT_TRUE(isRead(archive.handle(), marks, 1001));
    EXPECT_FALSE(isRead(archive.handle(), marks, 1003)) << "new replies make it unread again";
    EXPECT_EQ(UnreadCounts(archive.handle(), marks)[forumOf1003], topicsOf(forumOf1003));

    // A newer Access file in its place, converted again.
    archive.close();
    fs::last_write_time(mdb, fs::last_write_time(mdb) + std::chrono::hours(1));
    setSourceChangedHandler([](const std::string &, const std::string &) { return true; });
    archive.open();
    setSourceChangedHandler({});
    ASSERT_TRUE(fs::exists(archive.databasePath() + ".old"));
    EXPECT_EQ(store.identify(SampleArchive(archive.handle()), archive.databasePath()), key);
    marks = ReadMarks(store.readMarks(key));
    EXPECT_TRUE(isRead(archive.handle(), marks, 1001));
    EXPECT_TRUE(isRead(archive.handle(), marks, 1003)) << "the new conversion has the topic as it was read";
    ASSERT_EQ(store.bookmarks().size(), 1u);
    EXPECT_EQ(store.bookmarks().front().id, 1002);
}
