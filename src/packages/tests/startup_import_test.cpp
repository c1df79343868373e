#include "packages/tests/import_fixture.h"

#include "base/error.h"
#include "shell_core/startup.h"

using namespace velm;
using namespace velm::test;
namespace fs = std::filesystem;

namespace {

class StartupImportTest : public ImportTest {
protected:
    void SetUp() override
    {
        ImportTest::SetUp();
        fs::create_directory(path("program"));
        fs::create_directory(path("a b c"));
        fixture("2004W06.VLP", "a b c/2004W06.VLP");
    }
    bool importPackage(const std::string &packagePath)
    {
        return ImportStartupPackage(packagePath, path("program") + "/", archive, package, host);
    }
    bool programFolderEmpty() const { return fs::is_empty(path("program")); }
};

} // namespace

TEST_F(StartupImportTest, PackageSplitOverThreeArgumentsIsImportedAndItsCopyRemoved)
{
    const std::string log = table("UPDATELOG");
    ASSERT_TRUE(importPackage(joinArguments({path("a"), "b", "c/2004W06.VLP"})));
    EXPECT_EQ(rows("select M_NAME from FORUM_MEMBERS where MEMBER_ID = 3"), "alice_new\n");
    const std::vector<std::string> tail(host.events.end() - 4, host.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"status 重建樹狀圖...", "tree", "status ", "message 補充包匯入成功!"}));
    EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "tree"), 1);
    EXPECT_EQ(table("UPDATELOG"), log);
    EXPECT_FALSE(host.sink.visible());
    EXPECT_FALSE(package.connected());
    EXPECT_TRUE(programFolderEmpty());
}

TEST_F(StartupImportTest, FailuresShowNothingAndLeaveNoTemporaryFile)
{
    host.sink.show();
    EXPECT_FALSE(importPackage(path("a b c/missing.VLP")));
    EXPECT_TRUE(host.events.empty());
    EXPECT_FALSE(host.sink.visible());
    EXPECT_TRUE(programFolderEmpty());

    ExecuteSQL("DROP TABLE FORUM_REPLY", &archive);
    EXPECT_THROW(importPackage(path("a b c/2004W06.VLP")), Error);
    EXPECT_EQ(std::count(host.events.begin(), host.events.end(), "tree"), 0);
    EXPECT_FALSE(host.sink.visible());
    EXPECT_TRUE(programFolderEmpty());
}

TEST(StartupTemporaryName, HourMinuteSecondMillisecond)
{
    EXPECT_EQ(StartupTemporaryName("/opt/velm/", {2004, 1, 2, 9, 30, 5, 42}), "/opt/velm/093005042_TMP.mdb");
    EXPECT_EQ(StartupTemporaryName("/opt/velm", {2004, 1, 2, 23, 0, 59, 999}), "/opt/velm/230059999_TMP.mdb");
}
