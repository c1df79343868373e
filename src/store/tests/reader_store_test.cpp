#include "store/read_marks.h"
#include "store/reader_store.h"

#include "sqlite/testing/test_db.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace velm;

namespace {

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The files of a folder whose names start with the given text.
std::vector<std::string> filesStartingWith(const std::string &folder, const std::string &start)
{
    std::vector<std::string> found;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(start, 0) == 0)
            found.push_back(entry.path().string());
    return found;
}

ArchiveSample sample(std::initializer_list<std::int64_t> ids)
{
    ArchiveSample s;
    for (std::int64_t id : ids)
        s.emplace_back(id, "2004010" + std::to_string(id % 10) + "000000");
    return s;
}

class ReaderStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    std::string path(const char *name = "reader-state.db") const { return m_dir.filePath(name).toStdString(); }

    QTemporaryDir m_dir;
};

} // namespace

// What was kept is there after the store is opened again; recent archives keep the last eight, newest first.
TEST_F(ReaderStoreTest, KeepsMarksBookmarksAndRecentArchives)
{
    {
        ReaderStore store(path());
        EXPECT_EQ(store.setAsideNotice(), "");
        const ArchiveKey a = *store.identify(sample({1, 2, 3}), "/a/velm.sqlite");
        const ArchiveKey b = *store.identify(sample({50, 51}), "/b/other.sqlite");
        store.markRead(a, {{1, {"20040101000000", 2}}, {3, {"20040103000000", 0}}});
        store.markRead(a, {{1, {"20040105000000", 3}}}); // read again after new replies
        store.addBookmark(a, BookmarkKind::Topic, 2, "第二篇");
        store.addBookmark(b, BookmarkKind::Forum, 7, "討論區");
        store.addBookmark(a, BookmarkKind::Topic, 3, "第三篇");
        store.removeBookmark(a, BookmarkKind::Topic, 2);
        for (int i = 1; i <= 10; ++i)
            store.rememberArchive("/archives/" + std::to_string(i) + ".sqlite");
        store.rememberArchive("/archives/4.sqlite");
        store.forgetArchive("/archives/9.sqlite");
    }
    ReaderStore store(path());
    EXPECT_EQ(store.setAsideNotice(), "");
    const ArchiveKey a = *store.identify(sample({1, 2, 3}), "/moved/velm.sqlite");
    const auto marks = store.readMarks(a);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks.at(1).lastPost, "20040105000000");
    EXPECT_EQ(marks.at(1).replies, 3);

    const std::vector<Bookmark> bookmarks = store.bookmarks();
    ASSERT_EQ(bookmarks.size(), 2u);
    // The archive identified last comes first, with the path it was opened at then.
    EXPECT_EQ(bookmarks[0].archive, a);
    EXPECT_EQ(bookmarks[0].archivePath, "/moved/velm.sqlite");
    EXPECT_EQ(bookmarks[0].title, "第三篇");
    EXPECT_EQ(bookmarks[1].kind, BookmarkKind::Forum);
    EXPECT_TRUE(store.isBookmarked(a, BookmarkKind::Topic, 3));
    EXPECT_FALSE(store.isBookmarked(a, BookmarkKind::Topic, 2));
    EXPECT_FALSE(store.isBookmarked(a, BookmarkKind::Forum, 3));

    EXPECT_EQ(store.recentArchives(),
              (std::vector<std::string>{"/archives/4.sqlite", "/archives/10.sqlite", "/archives/8.sqlite",
                                        "/archives/7.sqlite", "/archives/6.sqlite", "/archives/5.sqlite",
                                        "/archives/3.sqlite"}));
}

// An archive is known by its earliest topics: growth, a few topics gone and another path keep it; another
// forum's archive is another archive; an archive without topics is known by its path.
TEST_F(ReaderStoreTest, IdentityFollowsTheContent)
{
    ReaderStore store(path());
    const ArchiveKey small = *store.identify(sample({1001, 1002, 1003, 1004}), "/x/velm.sqlite");
    const ArchiveKey empty = *store.identify({}, "/x/empty.sqlite");
    struct Case {
        const char *what;
        ArchiveSample sample;
        const char *path;
        ArchiveKey expected; // 0: a new archive
    };
    const Case cases[] = {
        {"imports added newer topics", sample({1001, 1002, 1003, 1004, 1101, 1102}), "/x/velm.sqlite", small},
        {"a copy elsewhere, half its early topics gone", sample({1003, 1004, 1101, 1102}), "/y/copy.sqlite", small},
        {"another forum", sample({7, 8, 9}), "/x/velm.sqlite", 0},
        {"the empty archive again", {}, "/x/empty.sqlite", empty},
        {"the empty archive once it has topics", sample({5}), "/x/empty.sqlite", empty},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(store.identify(c.sample, c.path, false), c.expected ? std::optional(c.expected) : std::nullopt)
            << c.what;
        const ArchiveKey key = *store.identify(c.sample, c.path);
        if (c.expected)
            EXPECT_EQ(key, c.expected) << c.what;
        else
            EXPECT_NE(key, small) << c.what;
    }
}

TEST(ReadMarksTest, ATopicIsReadWhileItLooksAsItDidWhenRead)
{
    const ReadMarks marks({{1, {"20040105000000", 3}}});
    struct Case {
        std::int64_t topic;
        const char *lastPost;
        std::int64_t replies;
        bool read;
    };
    for (const Case &c :
         {Case{1, "20040105000000", 3, true}, Case{1, "20040104000000", 3, true}, Case{1, "20040106000000", 3, false},
          Case{1, "20040105000000", 4, false}, Case{2, "", 0, false}})
        EXPECT_EQ(marks.isRead(c.topic, c.lastPost, c.replies), c.read)
            << c.topic << ' ' << c.lastPost << ' ' << c.replies;
}

// A file that is no sound store of ours is renamed aside with its content, never deleted, and a new store
// starts in its place; the user is told where the old one went.
TEST_F(ReaderStoreTest, SetsAsideAFileThatIsNotASoundStore)
{
    const auto makeOther = [](const std::string &p) {
        test::Db db(p, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.exec("CREATE TABLE NOTES (N TEXT); INSERT INTO NOTES VALUES ('mine')");
    };
    const auto makeNewer = [this](const std::string &p) {
        {
            ReaderStore(p).rememberArchive("/kept.sqlite");
        }
        test::Db(p).exec("PRAGMA user_version=99");
    };
    const auto makeDamaged = [this](const std::string &p) {
        {
            ReaderStore store(p);
            for (int i = 0; i < 300; ++i)
                store.addBookmark(1, BookmarkKind::Topic, i, std::string(200, 'x') + std::to_string(i));
        }
        // A page in the middle of the list's table, header and all.
        std::fstream file(p, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(fs::file_size(p) / 2 / 4096 * 4096));
        file << std::string(3000, '\x7f');
    };
    struct Case {
        const char *what;
        std::function<void(const std::string &)> make;
        const char *reason;
    };
    const Case cases[] = {
        {"not a database", [](const std::string &p) { std::ofstream(p) << "plain text, no database"; }, "損壞"},
        {"another program's database", makeOther, "不是本程式"},
        {"an unknown version", makeNewer, "不明的版本 99"},
        {"damaged pages", makeDamaged, "損壞"},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const std::string p = dir.filePath("reader-state.db").toStdString();
        c.make(p);
        const std::string before = readAll(p);

        ReaderStore store(p);
        EXPECT_NE(store.setAsideNotice().find(c.reason), std::string::npos) << c.what << ": " << store.setAsideNotice();
        const std::vector<std::string> aside = filesStartingWith(dir.path().toStdString(), "reader-state.db.damaged-");
        ASSERT_EQ(aside.size(), 1u) << c.what;
        EXPECT_EQ(readAll(aside.front()), before) << c.what;
        EXPECT_NE(store.setAsideNotice().find(aside.front()), std::string::npos) << c.what;

        store.rememberArchive("/new.sqlite");
        EXPECT_EQ(store.recentArchives(), std::vector<std::string>{"/new.sqlite"}) << c.what;
        EXPECT_EQ(ReaderStore(p).setAsideNotice(), "") << c.what << ": the new store is sound";
    }
}
