#include "packages/package_file.h"

#include "base/file_lock.h"
#include "packages/tests/tmpfile_refusal.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace fs = std::filesystem;
using namespace velm;

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string lengthPrefix(std::int32_t n)
{
    const auto u = static_cast<std::uint32_t>(n);
    return {static_cast<char>(u & 0xff), static_cast<char>(u >> 8 & 0xff), static_cast<char>(u >> 16 & 0xff),
            static_cast<char>(u >> 24)};
}

std::string deflated(const std::string &data)
{
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef *>(out.data()), &size, reinterpret_cast<const Bytef *>(data.data()), data.size(),
              6);
    out.resize(size);
    return out;
}

// Several chunks of input and output, and not too easy to compress.
std::string sampleData()
{
    std::string data;
    std::uint32_t x = 12345;
    for (int i = 0; i < 700000; ++i) {
        x = x * 1103515245 + 12345;
        data += static_cast<char>('A' + (x >> 16) % 7);
    }
    return data;
}

} // namespace

TEST(ExpandPackage, CasesOfTheFileFormat)
{
    const std::string data = sampleData();
    const std::string stream = deflated(data);
    std::string damaged = stream;
    damaged[stream.size() / 2] ^= 0x55;
    damaged[stream.size() / 2 + 1] ^= 0x2a;
    struct Case {
        const char *name;
        std::string package;
        bool ok;
        std::string expanded;
    };
    const Case cases[] = {
        {"exact length", lengthPrefix(data.size()) + stream, true, data},
        {"stream longer than N: first N taken", lengthPrefix(1000) + stream, true, data.substr(0, 1000)},
        {"bytes after the stream", lengthPrefix(data.size()) + stream + "trailing junk", true, data},
        {"N = 0", lengthPrefix(0) + stream, true, ""},
        {"stream shorter than N", lengthPrefix(data.size() + 1) + stream, false, ""},
        {"short stream with bytes after it", lengthPrefix(data.size() + 1) + stream + "junk", false, ""},
        {"truncated stream", lengthPrefix(data.size()) + stream.substr(0, stream.size() / 3), false, ""},
        {"claims 2 GB", lengthPrefix(0x7fffffff) + deflated("tiny"), false, ""},
        {"negative N", lengthPrefix(-5) + stream, false, ""},
        {"damaged stream", lengthPrefix(data.size()) + damaged, false, ""},
        {"no zlib header", lengthPrefix(10) + "plain text, not zlib", false, ""},
        {"three bytes", std::string("\x10\0\0", 3), false, ""},
        {"empty file", "", false, ""},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const std::string source = dir.filePath("pack.VLP").toStdString();
        const std::string destination = dir.filePath("pack.mdb").toStdString();
        std::ofstream(source, std::ios::binary) << c.package;
        EXPECT_EQ(ExpandPackage(source, destination), c.ok) << c.name;
        EXPECT_EQ(readFile(source), c.package) << c.name << ": the source changed";
        if (c.ok) {
            EXPECT_EQ(readFile(destination), c.expanded) << c.name;
        }
        // Nothing is left behind by a failure, not even under another name.
        const auto entries = std::distance(fs::directory_iterator(dir.path().toStdString()), {});
        EXPECT_EQ(entries, c.ok ? 2 : 1) << c.name;
    }
}

TEST(ExpandPackage, FilesAroundTheExpansion)
{
    QTemporaryDir dir;
    const std::string source = dir.filePath("2004W07.VLP").toStdString();
    fs::copy_file(VELM_FIXTURES "/2004W07.VLP", source); // bytes follow its zlib stream
    const std::string package = readFile(source);
    const std::string existing = dir.filePath("old.mdb").toStdString();

    EXPECT_FALSE(ExpandPackage(dir.filePath("missing.VLP").toStdString(), existing));
    EXPECT_FALSE(fs::exists(existing));
    EXPECT_FALSE(ExpandPackage(source, dir.filePath("no/such/folder/x.mdb").toStdString()));
    EXPECT_FALSE(ExpandPackage(source, source)) << "expanding onto itself";
    EXPECT_EQ(readFile(source), package);

    // An existing destination is replaced by a success and kept by a failure.
    std::ofstream(existing) << "earlier file";
    const std::string broken = dir.filePath("broken.VLP").toStdString();
    std::ofstream(broken, std::ios::binary) << lengthPrefix(100) << "garbage";
    EXPECT_FALSE(ExpandPackage(broken, existing));
    EXPECT_EQ(readFile(existing), "earlier file");
    EXPECT_TRUE(ExpandPackage(source, existing));
    EXPECT_EQ(readFile(existing), readFile(VELM_FIXTURES "/2004W06.mdb"));
}

TEST(ExpandPackage, WithoutUnnamedFilesAWorkFileServesAndTheNextExpansionSweepsOrphans)
{
    QTemporaryDir dir;
    const std::string source = dir.filePath("pack.VLP").toStdString();
    const std::string destination = dir.filePath("pack.mdb").toStdString();
    const std::string data = sampleData();
    std::ofstream(source, std::ios::binary) << lengthPrefix(data.size()) << deflated(data);
    // What each file system or kernel without O_TMPFILE answers.
    for (const int error : {EOPNOTSUPP, EISDIR, EINVAL}) {
        SCOPED_TRACE(error);
        const std::string orphan = destination + ".part-99999999-0.tmp"; // of a process killed while expanding
        std::ofstream(orphan) << "left";
        std::ofstream(orphan + "-journal") << "left";
        const WorkFile live(destination + ".part-", ".tmp"); // of an expansion still running
        fs::remove(destination);

        test::refuseTmpfile(error);
        const bool expanded = ExpandPackage(source, destination);
        test::refuseTmpfile(0);
        EXPECT_TRUE(expanded);
        EXPECT_TRUE(readFile(destination) == data);
        std::set<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir.path().toStdString()))
            names.insert(entry.path().string());
        EXPECT_EQ(names, (std::set<std::string>{source, destination, live.path()}));
    }
}

TEST(PackageFileName, ExtensionInAnyCaseAndOnlyTheExtensionReplaced)
{
    struct Case {
        const char *path;
        bool package;
        const char *expanded;
    };
    const Case cases[] = {
        {"/pack/2004w05.vlp", true, "/pack/2004w05.mdb"},
        {"/pack/2004W05.VLP", true, "/pack/2004W05.mdb"},
        {"/pack/2004W05.Vlp", true, "/pack/2004W05.mdb"},
        {"/old.vlp.files/2004w05.vlp", true, "/old.vlp.files/2004w05.mdb"},
        {"/old.vlp.files/2004w05.mdb", false, nullptr},
        {"/pack/2004W05.vlp.mdb", false, nullptr},
        {"/pack/vlp", false, nullptr},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isPackageFileName(c.path), c.package) << c.path;
        if (c.package) {
            EXPECT_EQ(expandedPackageName(c.path), c.expanded) << c.path;
        }
    }
}
