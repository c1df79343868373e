// No Jet file or a damaged one: a clear error naming it, nothing left behind; the helper watched for crashes and
// stalls.
#include "archive/jet/jet_reader.h"
#include "archive/jet/reader_process.h"
#include "archive/jet/tests/test_support.h"
#include "base/cp950.h"
#include "base/error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <functional>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velm;
using namespace velm::jet;
using namespace velm::jet::testing;

namespace {

constexpr std::size_t kPage = 4096;
// Where archive-small.mdb keeps the definitions of FORUM_TOPICS, FORUM_REPLY and UPDATELOG.
constexpr std::size_t kTopicsDefinitionPage = 36;
constexpr std::size_t kRepliesDefinitionPage = 70;
constexpr std::size_t kUpdateLogDefinitionPage = 75;
// Within a Jet 4 table definition: the row number of the page-usage map.
constexpr std::size_t kUsageMapRowOffset = 55;
// A catalog row's property list (MSysObjects' LvProp) that lies on a long-value page of its own: where the row
// points to it, and that long-value row.
constexpr std::size_t kCatalogPropertiesAt = 14 * kPage + 2645;
constexpr std::uint32_t kPropertiesPage = 23;
constexpr std::uint32_t kPropertiesRow = 2;
constexpr std::size_t kPropertiesRowStart = 3777;

std::string garbage(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char &c : out)
        c = static_cast<char>(random() & 0xFF);
    return out;
}

std::uint32_t pageOwner(const std::string &file, std::size_t page)
{
    const auto *p = reinterpret_cast<const unsigned char *>(file.data() + page * kPage + 4);
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Overwrites every data page that matches (type 1 and the owner test) with garbage.
std::string overwriteDataPages(std::string file, const std::function<bool(const std::string &, std::size_t)> &match)
{
    int overwritten = 0;
    for (std::size_t page = 1; page < file.size() / kPage; ++page)
        if (file[page * kPage] == 0x01 && match(file, page)) {
            file.replace(page * kPage, kPage, garbage(kPage, unsigned(page)));
            ++overwritten;
        }
    if (overwritten == 0)
        throw std::runtime_error("no page matched");
    return file;
}

void putU32(std::string &file, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[at + std::size_t(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
}

std::string overwritePage(std::string file, std::size_t page)
{
    file.replace(page * kPage, kPage, garbage(kPage, unsigned(page)));
    return file;
}

struct Damage {
    const char *what;
    // The file's bytes made from archive-small.mdb's; nothing when there is no file at all.
    std::function<std::optional<std::string>(const std::string &)> make;
};

const Damage kDamages[] = {
    {"missing", [](const std::string &) { return std::nullopt; }},
    {"text file", [](const std::string &) { return std::string("這不是資料庫\r\nplain text\r\n"); }},
    {"empty file", [](const std::string &) { return std::string(); }},
    {"cut to half its length", [](const std::string &f) { return f.substr(0, f.size() / 2); }},
    {"cut after 40 whole pages", [](const std::string &f) { return f.substr(0, 40 * kPage); }},
    {"header page overwritten", [](const std::string &f) { return overwritePage(f, 0); }},
    {"table definition overwritten", [](const std::string &f) { return overwritePage(f, kTopicsDefinitionPage); }},
    {"catalog rows overwritten",
     [](const std::string &f) {
         return overwriteDataPages(
             f, [](const std::string &file, std::size_t page) { return pageOwner(file, page) == 2; });
     }},
    {"reply rows overwritten",
     [](const std::string &f) {
         return overwriteDataPages(f, [](const std::string &file, std::size_t page) {
             return pageOwner(file, page) == kRepliesDefinitionPage;
         });
     }},
    {"long-value pages overwritten",
     [](const std::string &f) {
         return overwriteDataPages(f, [](const std::string &file, std::size_t page) {
             return file.compare(page * kPage + 4, 4, "LVAL") == 0;
         });
     }},
    // One wrong byte here sends libmdb's usage-map reader out of bounds: it crashes the reading process.
    {"usage map pointer that crashes libmdb",
     [](std::string f) {
         f[kUpdateLogDefinitionPage * kPage + kUsageMapRowOffset] = 0x65;
         return f;
     }},
};

void PrintTo(const Damage &damage, std::ostream *out)
{
    *out << damage.what;
}

// Reads source by route; returns the error text (UTF-8), or nothing when reading succeeded.
std::optional<std::string> failureOf(Route route, const ScratchFolder &folder, const std::string &source)
{
    try {
        if (route == Route::ConvertFile) {
            convertFile(source, folder.file("converted.sqlite"), nullptr, {});
        } else {
            openCopy(source, nullptr);
        }
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find(toCp950(source)), std::string::npos)
            << "the message does not name the file: " << e.utf8();
        EXPECT_EQ(e.utf8().rfind("無法讀取資料庫檔案 ", 0), 0u) << e.utf8();
        return e.utf8();
    }
    return std::nullopt;
}

class Damaged : public ::testing::TestWithParam<std::tuple<Damage, Route>> {};

class EnvironmentValue {
public:
    EnvironmentValue(const char *name, const std::string &value) : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvironmentValue()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    EnvironmentValue(const EnvironmentValue &) = delete;
    EnvironmentValue &operator=(const EnvironmentValue &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

// A stand-in for velm-jet-reader: a shell script that behaves as told, its echo going to the protocol descriptor.
std::string fakeHelper(const ScratchFolder &folder, const std::string &body)
{
    const std::string path = folder.file("fake-reader.sh");
    writeBytes(path, "#!/bin/sh\nexec 4>&1 >&3\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

ReaderJob job(const ScratchFolder &folder, std::chrono::milliseconds quietLimit = std::chrono::seconds(5))
{
    return {folder.file("封存.mdb"), folder.file("out.sqlite"), "無法寫入資料庫檔案 out.sqlite", "轉換資料表 ",
            quietLimit};
}

std::string failureText(const ReaderJob &readerJob)
{
    try {
        runReader(readerJob, nullptr);
    } catch (const Error &e) {
        return e.utf8();
    }
    return "(no error)";
}

} // namespace

TEST_P(Damaged, ClearErrorNamingTheFileAndNothingLeftBehind)
{
    const auto &[damage, route] = GetParam();
    ScratchFolder folder;
    // A name with a character that code page 950 lacks: the message still names the file.
    const std::string source = folder.file("封存 ☃ archive.mdb");
    const std::optional<std::string> bytes = damage.make(readBytes(fixturePath("archive-small.mdb")));
    if (bytes)
        writeBytes(source, *bytes);

    const std::optional<std::string> failure = failureOf(route, folder, source);
    ASSERT_TRUE(failure) << "read without complaint";
    EXPECT_EQ(folder.entries(), bytes ? std::vector<std::string>{"封存 ☃ archive.mdb"} : std::vector<std::string>{})
        << *failure;
    if (bytes) {
        EXPECT_EQ(readBytes(source), *bytes);
    }
    EXPECT_EQ(ownTemporaryFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Files, Damaged,
                         ::testing::Combine(::testing::ValuesIn(kDamages),
                                            ::testing::Values(Route::ConvertFile, Route::OpenCopy)),
                         [](const auto &info) {
                             std::string name = std::get<0>(info.param).what;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name + "_" + routeName(std::get<1>(info.param));
                         });

TEST(Damaged, RandomPagesOfGarbageNeverCrashHangOrLeaveFiles)
{
    // Garbage on pages nobody reads (indexes, free pages) may leave the data whole; anything else must fail cleanly.
    const std::string original = readBytes(fixturePath("archive-small.mdb"));
    const std::size_t pages = original.size() / kPage;
    int failures = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        std::string bytes = original;
        for (int i = 0; i < 3; ++i) {
            const std::size_t page = 1 + random() % (pages - 1);
            if (seed % 2)
                bytes.replace(page * kPage, kPage, garbage(kPage, seed * 100 + unsigned(i)));
            else
                for (int k = 0; k < 16; ++k)
                    bytes[page * kPage + random() % kPage] = static_cast<char>(random());
        }
        ScratchFolder folder;
        const std::string source = folder.file("archive.mdb");
        writeBytes(source, bytes);
        const bool failed = failureOf(Route::ConvertFile, folder, source).has_value();
        failures += failed;
        const std::vector<std::string> expected = failed ? std::vector<std::string>{"archive.mdb"}
                                                         : std::vector<std::string>{"archive.mdb", "converted.sqlite"};
        EXPECT_EQ(folder.entries(), expected);
        EXPECT_EQ(readBytes(source), bytes);
    }
    EXPECT_GE(failures, 5);
}

TEST(Damaged, ACatalogThatWouldTakeAllMemoryFailsWithinTheHelpersLimit)
{
    // The catalog's property list made a chain of long-value pages that leads back to itself: libmdb reads the
    // chain into one buffer that grows until memory runs out, before the helper says a word.
    std::string bytes = readBytes(fixturePath("archive-small.mdb"));
    putU32(bytes, kCatalogPropertiesAt, 0x41); // a chain rather than one page, still 65 bytes
    putU32(bytes, kPropertiesPage * kPage + kPropertiesRowStart, kPropertiesPage << 8 | kPropertiesRow);
    ScratchFolder folder;
    const std::string source = folder.file("loop.mdb");
    writeBytes(source, bytes);

    // A new process starts from the peak of the one that made it: only the helper's own is to count.
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::optional<std::string> failure = failureOf(Route::OpenCopy, folder, source);
    ASSERT_TRUE(failure);
    const HelperLimits limits = helperLimits(bytes.size());
    EXPECT_NE(failure->find("檔案已損壞 (讀取資料表目錄時用盡記憶體上限)"), std::string::npos) << *failure;
    rusage children{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &children), 0);
    EXPECT_LT(std::uint64_t(children.ru_maxrss) * 1024, limits.addressSpace) << "peak kilobytes of a helper";
}

TEST(ReaderProcess, StalledHelperIsKilled)
{
    ScratchFolder folder;
    const std::string pidFile = folder.file("pid");
    const EnvironmentValue helper("VELM_JET_READER",
                                  fakeHelper(folder, "echo $$ > '" + pidFile + "'\necho 'TABLES 1'\nexec sleep 30"));
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = failureText(job(folder, std::chrono::seconds(1)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_NE(failure.find("封存.mdb"), std::string::npos) << failure;
    EXPECT_NE(failure.find("讀取停滯"), std::string::npos) << failure;
    const pid_t pid = std::stoi(readBytes(pidFile));
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(ReaderProcess, OnlySilenceCountsAsAStall)
{
    ScratchFolder folder;
    const EnvironmentValue helper(
        "VELM_JET_READER",
        fakeHelper(folder, "echo 'TABLES 1'\nfor i in 1 2 3 4 5 6; do echo \"ROWS $i\"; sleep 0.3; done\nexit 0"));
    const std::string failure = failureText(job(folder, std::chrono::seconds(1)));
    EXPECT_EQ(failure.find("讀取停滯"), std::string::npos) << failure;
    EXPECT_NE(failure.find("異常中止"), std::string::npos) << failure; // it never said it was done
}

TEST(ReaderProcess, EndingsOtherThanDoneAreFailures)
{
    struct Case {
        const char *script;
        const char *expected;
    };
    const Case cases[] = {
        {"echo 'TABLES 2'\nkill -SEGV $$", "檔案已損壞 (讀取時異常中止)"},
        {"echo 'DONE'\nexit 3", "檔案已損壞 (讀取時異常中止)"},
        {"echo 'FAIL-READ 測試用的原因'\nexit 1", "封存.mdb: 測試用的原因"},
        {"echo 'FAIL-WRITE disk full'\nexit 1", "無法寫入資料庫檔案 out.sqlite: disk full"},
    };
    for (const Case &c : cases) {
        ScratchFolder folder;
        const EnvironmentValue helper("VELM_JET_READER", fakeHelper(folder, c.script));
        const std::string failure = failureText(job(folder));
        EXPECT_NE(failure.find(c.expected), std::string::npos) << c.script << " gave " << failure;
    }
}

TEST(ReaderProcess, ABusyHelperIsStoppedAtItsTimeLimit)
{
    // Never silent, never done: only the processor time it may use ends it.
    ScratchFolder folder;
    const EnvironmentValue helper("VELM_JET_READER",
                                  fakeHelper(folder, "echo 'TABLES 1'\nwhile :; do echo 'ROWS 1'; done"));
    ReaderJob busy = job(folder);
    busy.limits = HelperLimits{helperLimits(0).addressSpace, 1};
    const std::string failure = failureText(busy);
    EXPECT_NE(failure.find("封存.mdb: 檔案已損壞 (讀取超過 1 秒的處理時間上限)"), std::string::npos) << failure;
}

TEST(ReaderProcess, LibmdbsOwnPrintingStaysOutOfTheProtocol)
{
    ScratchFolder folder;
    const EnvironmentValue helper(
        "VELM_JET_READER",
        fakeHelper(folder, "printf 'Unrecognized format.' >&4\nprintf 'warning' >&2\necho 'TABLES 0'\necho DONE"));
    EXPECT_EQ(failureText(job(folder)), "(no error)");
}

TEST(ReaderProcess, MissingHelperIsNamed)
{
    ScratchFolder folder;
    const EnvironmentValue helper("VELM_JET_READER", folder.file("no-such-reader"));
    const std::string failure = failureText(job(folder));
    EXPECT_NE(failure.find("找不到讀取程式"), std::string::npos) << failure;
    EXPECT_NE(failure.find("no-such-reader"), std::string::npos) << failure;

    // There, but it cannot run.
    const std::string unrunnable = folder.file("unrunnable-reader");
    writeBytes(unrunnable, "#!/no/such/interpreter\n");
    ::chmod(unrunnable.c_str(), 0755);
    const EnvironmentValue other("VELM_JET_READER", unrunnable);
    EXPECT_NE(failureText(job(folder)).find("無法啟動讀取程式 " + unrunnable), std::string::npos);
}
