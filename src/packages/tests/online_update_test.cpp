#include "packages/online_update.h"

#include "base/error.h"
#include "packages/http_client.h"
#include "packages/tests/http_test_server.h"
#include "packages/tests/import_fixture.h"
#include "packages/tests/package_bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace velm;
using namespace velm::test;
namespace fs = std::filesystem;

namespace {

constexpr const char *kSecondary = "velm_download/velm_reader/";
constexpr const char *kPrimary = "download/velm_reader/";

// Records are written with the host's clock: a new second for each, so their order shows.
class TickingHost : public RecordingHost {
public:
    LocalTime now() const override { return {2004, 3, 21, 14, 5, ++m_second, 0}; }

private:
    mutable int m_second = 0;
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class OnlineUpdateTest : public ImportTest {
protected:
    void SetUp() override
    {
        ImportTest::SetUp();
        fs::create_directory(path("program"));
        sources = {server.base(), {server.base() + kSecondary, server.base() + kPrimary}, path("program") + "/"};
        questions = {[this](const Big5Text &text) {
                         shown.push_back("question " + text.toUtf8());
                         return answer;
                     },
                     [this](const Big5Text &text) { shown.push_back("message " + text.toUtf8()); }};
    }

    void serveList(const std::string &utf8Lines) { server.answer("/velmpack/update.htm", page(toCp950(utf8Lines))); }
    void servePackage(const std::string &folder, const std::string &name,
                      const std::string &fixtureName = "2004W06.VLP")
    {
        server.answer("/" + folder + name, fileAnswer(std::string(VELM_FIXTURES "/") + fixtureName));
    }
    // A package holding one member row, so the package imported last shows in the archive.
    void serveMemberPackage(const std::string &name, const std::string &memberName)
    {
        const std::string db = path(name + ".sqlite");
        makeSqlitePackage(db, std::string(kEmptyForumTables) + "INSERT INTO FORUM_MEMBERS VALUES (3, '" + memberName +
                                  "');");
        server.answer("/" + std::string(kSecondary) + name,
                      page(packageBytes(readFile(db)), "application/octet-stream"));
    }
    OnlineUpdateResult run(UpdateStart start = UpdateStart::Toolbar)
    {
        return RunOnlineUpdate(start, sources, client, archive, package, host, questions);
    }
    std::vector<std::string> packageRequests() const
    {
        std::vector<std::string> out;
        for (const std::string &p : server.paths())
            if (p != "/velmpack/update.htm")
                out.push_back(p);
        return out;
    }
    std::string records() const
    {
        return rows("select UPD_TITLE, UPD_DATE from UPDATELOG order by UPD_DATE, UPD_TITLE");
    }
    std::string programFile(const std::string &name) const { return path("program/" + name); }

    HttpTestServer server;
    HttpClient client;
    TickingHost host;
    OnlineUpdateSources sources;
    UpdateQuestions questions;
    bool answer = true;
    std::vector<std::string> shown; // UTF-8
};

const std::string kFixtureRecords = "2004年04週 第四週補充包 含新元件|2004/01/25 09:30:00\n"
                                    "2004年05週|2004/02/01 10:00:00\n";

} // namespace

TEST(UpdateList, LinesTitlesKeysAndFileNames)
{
    EXPECT_EQ(UpdateListLines(""), std::vector<std::string>{});
    EXPECT_EQ(UpdateListLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(UpdateListLines("a\r\n\r\nb\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(UpdateListLines("\n"), std::vector<std::string>{""});
    EXPECT_EQ(UpdateListLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));

    const std::string line = toCp950("2004年05週 第五週補充包，含新的元件與文章說明");
    const std::string title = PackageListTitle(line);
    EXPECT_EQ(title, line.substr(0, 32));
    EXPECT_EQ(PackageKey(title), toCp950("2004年05週"));
    EXPECT_EQ(PackageFileName(title), "2004W05.VLP");
    // A short line is a package too: its key is all of it.
    EXPECT_EQ(PackageKey(PackageListTitle(toCp950("2004年0"))), toCp950("2004年0"));
    EXPECT_EQ(PackageFileName(toCp950("2004年0")), "2004W0.VLP");
    EXPECT_EQ(PackageFileName("20"), "20W.VLP");
    // The 32nd byte opens a two-byte character: the title ends in that lone byte.
    const std::string cut = std::string(31, 'x') + toCp950("中文");
    EXPECT_EQ(PackageListTitle(cut), std::string(31, 'x') + toCp950("中").substr(0, 1));
}

TEST_F(OnlineUpdateTest, OnlyUnrecordedPackagesAreOfferedAndNoAsksNothingMore)
{
    serveList("2004年05週 已匯入\r\n2004年06週 第六週\r\n2004年04週 另一個說明\r\n");
    answer = false;
    const OnlineUpdateResult result = run();
    EXPECT_EQ(result.outcome, UpdateOutcome::Declined);
    EXPECT_EQ(shown, std::vector<std::string>{"question 找到補充包檔案總數1個，現在更新嗎?"});
    EXPECT_TRUE(packageRequests().empty());
    EXPECT_FALSE(fs::exists(programFile("update.htm")));
    EXPECT_EQ(records(), kFixtureRecords);
}

TEST_F(OnlineUpdateTest, RecordedListSaysUpToDateOnlyFromTheToolbar)
{
    struct Case {
        const char *list;
        UpdateStart start;
        std::vector<std::string> shown;
        UpdateOutcome outcome;
    };
    const Case cases[] = {
        {"2004年05週\n2004年04週 新說明\n",
         UpdateStart::Toolbar,
         {"message 您的資料已經都是最新的了!"},
         UpdateOutcome::UpToDate},
        {"2004年05週\n2004年04週 新說明\n", UpdateStart::Automatic, {}, UpdateOutcome::UpToDate},
        {"\r\n\r\n", UpdateStart::Toolbar, {"message 您的資料已經都是最新的了!"}, UpdateOutcome::UpToDate},
        {"", UpdateStart::Automatic, {"question 找到補充包檔案總數0個，現在更新嗎?"}, UpdateOutcome::Fetched},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.list);
        shown.clear();
        serveList(c.list);
        const OnlineUpdateResult result = run(c.start);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(result.imported, 0);
    }
    EXPECT_TRUE(packageRequests().empty());
    EXPECT_EQ(records(), kFixtureRecords);
}

TEST_F(OnlineUpdateTest, UnavailableListEndsQuietly)
{
    for (UpdateStart start : {UpdateStart::Toolbar, UpdateStart::Automatic}) {
        EXPECT_EQ(run(start).outcome, UpdateOutcome::ListUnavailable);
        EXPECT_TRUE(shown.empty());
    }
    sources.forumBaseUrl = "http://127.0.0.1:1/";
    EXPECT_EQ(run().outcome, UpdateOutcome::ListUnavailable);
    EXPECT_TRUE(shown.empty());
}

TEST_F(OnlineUpdateTest, MissingPackageIsFetchedExpandedImportedAndRecorded)
{
    serveList("\n2004年05週\n\n2004年06週 第六週補充包\n");
    servePackage(kPrimary, "2004W06.VLP");
    sources.mirrors = {server.base() + kPrimary, server.base() + kSecondary};
    const OnlineUpdateResult result = run();
    EXPECT_EQ(result.outcome, UpdateOutcome::Fetched);
    EXPECT_EQ(result.imported, 1);
    EXPECT_EQ(shown, std::vector<std::string>{"question 找到補充包檔案總數1個，現在更新嗎?"});
    // The first server has it: the second is never asked.
    EXPECT_EQ(packageRequests(), std::vector<std::string>{"/download/velm_reader/2004W06.VLP"});
    EXPECT_EQ(rows("select M_NAME from FORUM_MEMBERS where MEMBER_ID = 3"), "alice_new\n");
    EXPECT_EQ(rows("select T_SUBJECT from FORUM_TOPICS where TOPIC_ID = 1101"), "新年快樂\n");
    EXPECT_EQ(records(), kFixtureRecords + "2004年06週 第六週補充包|2004/03/21 14:05:01\n");
    EXPECT_FALSE(fs::exists(programFile("update.htm")));
    EXPECT_TRUE(fs::exists(programFile("TEMP.VLP")));
    EXPECT_TRUE(fs::exists(programFile("TEMP.MDB")));
    EXPECT_FALSE(host.sink.visible());
    EXPECT_FALSE(package.connected());
}

TEST_F(OnlineUpdateTest, ServersAreTriedInTheirOrderAndAFailedPackageIsSkipped)
{
    serveList("2004年06週 A\n2004年07週 B\n2004年08週 C\n");
    servePackage(kPrimary, "2004W06.VLP");
    servePackage(kSecondary, "2004W07.VLP", "2004W07.VLP");
    server.answer("/" + std::string(kSecondary) + "2004W06.VLP", page("not a package", "application/octet-stream"));
    const OnlineUpdateResult result = run();
    EXPECT_EQ(result.offered, 3);
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(packageRequests(), (std::vector<std::string>{
                                     "/velm_download/velm_reader/2004W08.VLP", "/download/velm_reader/2004W08.VLP",
                                     "/velm_download/velm_reader/2004W07.VLP", "/velm_download/velm_reader/2004W06.VLP",
                                     "/download/velm_reader/2004W06.VLP"}));
    EXPECT_EQ(rows("select UPD_TITLE from UPDATELOG where UPD_DATE like '2004/03/%' order by UPD_DATE"),
              "2004年07週 B\n2004年06週 A\n");
    // The last package failed everywhere: its temporary files are gone.
    serveList("2004年09週\n");
    EXPECT_EQ(run().imported, 0);
    EXPECT_FALSE(fs::exists(programFile("TEMP.VLP")));
    EXPECT_FALSE(fs::exists(programFile("TEMP.MDB")));
}

TEST_F(OnlineUpdateTest, PackagesAreImportedFromTheLastLineToTheFirst)
{
    serveMemberPackage("2004W07.VLP", "from-first-line");
    serveMemberPackage("2004W08.VLP", "from-second-line");
    serveList("2004年07週\n2004年08週\n");
    ASSERT_EQ(run().imported, 2);
    EXPECT_EQ(packageRequests(), (std::vector<std::string>{"/velm_download/velm_reader/2004W08.VLP",
                                                           "/velm_download/velm_reader/2004W07.VLP"}));
    EXPECT_EQ(rows("select M_NAME from FORUM_MEMBERS where MEMBER_ID = 3"), "from-first-line\n");
}

TEST_F(OnlineUpdateTest, SameKeyTwiceIsImportedTwiceWithTwoRecords)
{
    serveList("2004年06週 first\n2004年06週 second\n");
    servePackage(kSecondary, "2004W06.VLP");
    const OnlineUpdateResult result = run();
    EXPECT_EQ(result.offered, 2);
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(server.count("/velm_download/velm_reader/2004W06.VLP"), 2);
    EXPECT_EQ(rows("select UPD_TITLE from UPDATELOG where UPD_DATE like '2004/03/%' order by UPD_DATE"),
              "2004年06週 second\n2004年06週 first\n");
}

TEST_F(OnlineUpdateTest, OddLinesNeitherBreakNorAlterTheStatements)
{
    // A quote in the key and in the free text, a line of seven bytes, a title cut inside a character.
    const std::string cut = "2004W10x" + std::string(23, 'y') + "中";
    serveList("2004'11' it's\n2003年1\n" + cut + "\n");
    servePackage(kSecondary, "2004W1%27.VLP");
    servePackage(kSecondary, "2003W1.VLP");
    servePackage(kSecondary, "2004W0x.VLP");
    const OnlineUpdateResult result = run();
    EXPECT_EQ(result.offered, 3);
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(packageRequests(), (std::vector<std::string>{"/velm_download/velm_reader/2004W0x.VLP",
                                                           "/velm_download/velm_reader/2003W1.VLP",
                                                           "/velm_download/velm_reader/2004W1%27.VLP"}));
    const std::string added = rows("select UPD_TITLE from UPDATELOG where UPD_DATE like '2004/03/%' order by UPD_DATE");
    EXPECT_EQ(added.substr(0, 31), cut.substr(0, 31));
    EXPECT_EQ(added.substr(added.find('\n') + 1), "2003年1\n2004'11' it's\n");
    EXPECT_EQ(rows("select count(*) from UPDATELOG"), "5\n");

    // Recorded now, each is found again by its key.
    shown.clear();
    EXPECT_EQ(run().outcome, UpdateOutcome::UpToDate);
}

TEST_F(OnlineUpdateTest, UnreadableLinesAreSkippedAndTheOthersStillImported)
{
    // A NUL in one line; bytes forming no character in two others: a first byte followed by a blank, and
    // a first byte ending its line (after a readable key).
    const std::string list = toCp950("2004年06週 第六週\n") + std::string("2004\0W10 nul\n", 13) +
                             toCp950("2004年11週 說明") + "\x81 x\n" + toCp950("2004年12週") + "\xA4\n" +
                             toCp950("2004年07週 第七週\n");
    server.answer("/velmpack/update.htm", page(list));
    servePackage(kSecondary, "2004W06.VLP");
    servePackage(kSecondary, "2004W07.VLP", "2004W07.VLP");
    const OnlineUpdateResult result = run();
    EXPECT_EQ(result.outcome, UpdateOutcome::Fetched);
    EXPECT_EQ(result.offered, 2);
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(result.skipped, 3);
    EXPECT_EQ(packageRequests(), (std::vector<std::string>{"/velm_download/velm_reader/2004W07.VLP",
                                                           "/velm_download/velm_reader/2004W06.VLP"}));
    EXPECT_EQ(rows("select UPD_TITLE from UPDATELOG where UPD_DATE like '2004/03/%' order by UPD_DATE"),
              "2004年07週 第七週\n2004年06週 第六週\n");

    // The unreadable lines are passed over again, never offered.
    shown.clear();
    const OnlineUpdateResult again = run();
    EXPECT_EQ(again.outcome, UpdateOutcome::UpToDate);
    EXPECT_EQ(again.skipped, 3);
    EXPECT_EQ(shown, std::vector<std::string>{"message 您的資料已經都是最新的了!"});
    EXPECT_EQ(packageRequests().size(), 2u);

    EXPECT_TRUE(UsableListLine(toCp950("2004年06週 功許北")));
    EXPECT_TRUE(UsableListLine("\x80\xFF")); // single bytes of the code page
    EXPECT_FALSE(UsableListLine(std::string("\0", 1)));
    EXPECT_FALSE(UsableListLine("\xC8\x7F"));
}

TEST_F(OnlineUpdateTest, KeysHoldingLikeWildcardsAreImportedOnceAndThenFound)
{
    // Each key read as a LIKE pattern would also match a title recorded before it ("2004年05週"). The
    // second bytes of 北 and 許 are _ and \.
    const char *keys[] = {"2004%05週", "2004_05週", "2004\\05週", "2004年北", "2004年許"};
    std::string list;
    for (const char *key : keys)
        list += std::string(key) + "\n";
    serveList(list);
    for (const char *name : {"2004W5%B6.VLP", "2004W%A5_.VLP", "2004W%B3%5C.VLP"})
        servePackage(kSecondary, name);
    const OnlineUpdateResult first = run();
    EXPECT_EQ(first.offered, 5);
    EXPECT_EQ(first.imported, 5);
    EXPECT_EQ(rows("select UPD_TITLE from UPDATELOG where UPD_DATE like '2004/03/%' order by UPD_DATE"),
              "2004年許\n2004年北\n2004\\05週\n2004_05週\n2004%05週\n");

    shown.clear();
    const OnlineUpdateResult second = run();
    EXPECT_EQ(second.outcome, UpdateOutcome::UpToDate);
    EXPECT_EQ(second.offered, 0);
    EXPECT_EQ(packageRequests().size(), 5u);
    EXPECT_EQ(rows("select count(*) from UPDATELOG"), "7\n");
}

TEST_F(OnlineUpdateTest, LikePatternLiteralMatchesItsTextAndNothingLooser)
{
    const auto matches = [&](const std::string &utf8Text, const std::string &cp950Key) {
        Value value;
        SQLLookup("SELECT '" + QuoteDoubled(toCp950(utf8Text)) + "' LIKE '" +
                      QuoteDoubled(LikePatternLiteral(cp950Key)) + "%' ESCAPE '\\'",
                  value, false, &archive);
        return value.toInt() == 1;
    };
    struct Case {
        std::string key; // code page 950
        const char *text;
        bool match;
    };
    const Case cases[] = {
        {"100%", "100% done", true},
        {"100%", "1000", false},
        {"a_b", "a_b", true},
        {"a_b", "axb", false},
        {"a\\b", "a\\bc", true},
        {"a\\b", "ab", false},
        {"it's", "it's", true},
        {toCp950("北"), "北", true},
        {toCp950("北"), "功x", false},
        {toCp950("許"), "許", true},
        {toCp950("功%"), "功%", true},
        {toCp950("功%"), "功x", false},
        // A key cut inside its last character stands for any one character there.
        {toCp950("2004年05週").substr(0, 9), "2004年05週 說明", true},
        {toCp950("2004年05週").substr(0, 9), "2004年05", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(matches(c.text, c.key), c.match) << fromCp950(c.key) << " / " << c.text;
}

TEST_F(OnlineUpdateTest, ImportErrorEndsTheRunAndKeepsWhatCameBefore)
{
    serveList("2004年06週 never tried\n2004年07週 refused\n2004年08週 first\n");
    servePackage(kSecondary, "2004W08.VLP");
    const std::string refused = path("refused.mdb");
    fs::copy_file(VELM_FIXTURES "/pkg-extra-column.mdb", refused);
    server.answer("/" + std::string(kSecondary) + "2004W07.VLP",
                  page(packageBytes(readFile(refused)), "application/octet-stream"));
    try {
        run();
        ADD_FAILURE() << "the import error did not pass on";
    } catch (const Error &e) {
        EXPECT_NE(e.utf8().find("M_SIGNATURE"), std::string::npos) << e.utf8();
    }
    EXPECT_EQ(rows("select UPD_TITLE from UPDATELOG where UPD_DATE like '2004/03/%'"), "2004年08週 first\n");
    EXPECT_EQ(server.count("/velm_download/velm_reader/2004W06.VLP"), 0);
    EXPECT_FALSE(host.sink.visible());
    // The run is over: a new one may start.
    serveList("2004年05週\n");
    EXPECT_EQ(run().outcome, UpdateOutcome::UpToDate);
}

TEST_F(OnlineUpdateTest, SecondRunDuringAnImportIsRefused)
{
    serveList("2004年06週\n");
    servePackage(kSecondary, "2004W06.VLP");
    std::vector<UpdateOutcome> nested;
    int toolbarRefusals = 0;
    host.onEvents = [&] {
        if (!nested.empty())
            return;
        nested.push_back(run(UpdateStart::Automatic).outcome);
        try {
            run(UpdateStart::Toolbar);
        } catch (const Error &) {
            ++toolbarRefusals;
        }
    };
    EXPECT_EQ(run().imported, 1);
    EXPECT_EQ(nested, std::vector<UpdateOutcome>{UpdateOutcome::AlreadyRunning});
    EXPECT_EQ(toolbarRefusals, 1);
    EXPECT_EQ(server.count("/velmpack/update.htm"), 1);
}

TEST_F(OnlineUpdateTest, ProgressShowsEachPackageWithAnEmptyBarFirst)
{
    serveList("2004年06週 六\n2004年07週 七\n");
    servePackage(kSecondary, "2004W06.VLP");
    servePackage(kSecondary, "2004W07.VLP");
    std::vector<std::string> captions;
    HttpClient observed;
    observed.setEvents({[&](std::int64_t) {
                            captions.push_back(
                                fromCp950(host.sink.caption()) + " " + std::to_string(host.sink.maximum()) + "/" +
                                std::to_string(host.sink.position()) + (host.sink.visible() ? " shown" : " hidden"));
                        },
                        {},
                        {}});
    ASSERT_EQ(RunOnlineUpdate(UpdateStart::Toolbar, sources, observed, archive, package, host, questions).imported, 2);
    ASSERT_EQ(captions.size(), 3u); // the list, then one per package
    EXPECT_EQ(std::vector<std::string>(captions.begin() + 1, captions.end()),
              (std::vector<std::string>{"1/2 下載補充包...2004年07週 七 0/0 shown",
                                        "2/2 下載補充包...2004年06週 六 0/6 shown"}));
}
