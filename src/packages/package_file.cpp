#include "packages/package_file.h"

#include "base/file_lock.h"
#include "base/open_files.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velm {
namespace {

// Output is written in pieces of this size; larger pieces gain nothing measurable.
constexpr std::size_t kOutputChunkSize = 256 * 1024;

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class Inflater {
public:
    Inflater() { m_ready = inflateInit(&m_stream) == Z_OK; }
    ~Inflater()
    {
        if (m_ready)
            inflateEnd(&m_stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    bool ready() const { return m_ready; }
    z_stream &stream() { return m_stream; }

private:
    z_stream m_stream{};
    bool m_ready = false;
};

// The expansion is written into a file of its own and takes the destination's name only when complete.
// Where the file system allows, that file has no name until then, so a killed expansion leaves nothing;
// elsewhere it is a work file that the next expansion into the folder removes.
class PartialFile {
public:
    explicit PartialFile(const std::string &destination) : m_destination(destination)
    {
        const fs::path folder = fs::absolute(destination).parent_path();
        const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0) {
            m_file.reset(::fdopen(fd, "wb"));
            if (!m_file)
                ::close(fd);
        } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            const std::string prefix = destination + ".part-";
            WorkFile::sweepOrphans(prefix, ".tmp");
            m_work.emplace(prefix, ".tmp");
            m_file.reset(std::fopen(m_work->path().c_str(), "wb"));
        }
        if (!m_file)
            m_error = std::strerror(errno);
    }
    PartialFile(const PartialFile &) = delete;
    PartialFile &operator=(const PartialFile &) = delete;

    std::FILE *get() const { return m_file.get(); }
    // Why the file could not be made or written.
    const std::string &error() const { return m_error; }

    bool keep()
    {
        if (std::fflush(m_file.get()) != 0 || ::fsync(::fileno(m_file.get())) != 0) {
            m_error = std::strerror(errno);
            return false;
        }
        if (m_work) {
            if (std::fclose(m_file.release()) != 0 || ::rename(m_work->path().c_str(), m_destination.c_str()) != 0) {
                m_error = std::strerror(errno);
                return false;
            }
            m_work->keep();
            return true;
        }
        // A name of its own first, then the destination's in one step: a file there is replaced only now.
        const std::string self = "/proc/self/fd/" + std::to_string(::fileno(m_file.get()));
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string named =
                m_destination + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                if (errno == EEXIST)
                    continue;
                break;
            }
            if (::rename(named.c_str(), m_destination.c_str()) == 0) {
                m_file.reset(); // written and synced already
                return true;
            }
            m_error = std::strerror(errno);
            ::unlink(named.c_str());
            return false;
        }
        m_error = std::strerror(errno);
        return false;
    }

private:
    std::string m_destination;
    std::optional<WorkFile> m_work;
    FilePtr m_file;
    std::string m_error;
};

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

enum class InflateResult { Done, Damaged, Short, WriteFailed };

InflateResult inflateInto(std::FILE *in, std::FILE *out, std::uint32_t length, std::uint64_t &written)
{
    Inflater inflater;
    if (!inflater.ready())
        return InflateResult::Damaged;
    z_stream &z = inflater.stream();
    std::vector<unsigned char> input(kPackageChunkSize);
    std::vector<unsigned char> output(kOutputChunkSize);
    std::uint32_t remaining = length;
    written = 0;
    while (remaining > 0) {
        // The output buffer is filled before it is written: few, large writes.
        const std::size_t want = std::min<std::size_t>(output.size(), remaining);
        z.next_out = output.data();
        z.avail_out = static_cast<uInt>(want);
        while (z.avail_out > 0) {
            if (z.avail_in == 0) {
                const std::size_t got = std::fread(input.data(), 1, input.size(), in);
                if (got == 0) {
                    written += want - z.avail_out;
                    return InflateResult::Short; // the file ends before N bytes came out
                }
                z.next_in = input.data();
                z.avail_in = static_cast<uInt>(got);
            }
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc == Z_STREAM_END && z.avail_out > 0) {
                written += want - z.avail_out;
                return InflateResult::Short; // the stream ends before N bytes came out
            }
            if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z.avail_in == 0))
                return InflateResult::Damaged;
        }
        if (std::fwrite(output.data(), 1, want, out) != want)
            return InflateResult::WriteFailed;
        written += want;
        remaining -= static_cast<std::uint32_t>(want);
    }
    return InflateResult::Done;
}

// zlib's output is never more than about 1032 times its input: a longer length cannot be true.
constexpr std::uint64_t kMostExpansion = 1100;

} // namespace

bool ExpandPackage(const std::string &source, const std::string &destination, std::string *whyUtf8)
{
    auto fail = [whyUtf8](const std::string &why) {
        if (whyUtf8)
            *whyUtf8 = why;
        return false;
    };
    // Expanding a file onto itself would destroy the package.
    if (sameFile(source, destination))
        return fail("補充包不能展開到它自己: " + destination);
    // A file this process holds (the archive, its -wal or -shm) is neither read here nor replaced.
    if (heldOpenAs(source))
        return fail("這個檔案正由本程式開啟使用中，不是補充包: " + source);
    if (heldOpenAs(destination))
        return fail("展開的檔案會取代本程式開啟中的檔案: " + destination);
    FilePtr in(std::fopen(source.c_str(), "rb"));
    if (!in)
        return fail("無法開啟補充包: " + source + " (" + std::strerror(errno) + ")");
    std::array<unsigned char, 4> head{};
    if (std::fread(head.data(), 1, head.size(), in.get()) != head.size())
        return fail("補充包檔案太短，沒有長度欄位: " + source);
    const auto length = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(head[0]) | static_cast<std::uint32_t>(head[1]) << 8 |
        static_cast<std::uint32_t>(head[2]) << 16 | static_cast<std::uint32_t>(head[3]) << 24);
    if (length < 0)
        return fail("補充包記錄的長度是負數 (" + std::to_string(length) + "): " + source);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(source, ec);
    if (!ec && static_cast<std::uint64_t>(length) > (size - head.size()) * kMostExpansion + 65536)
        return fail("補充包記錄的長度不合理 (" + std::to_string(length) + " 位元組，檔案只有 " + std::to_string(size) +
                    " 位元組): " + source);
    PartialFile out(destination);
    if (!out.get())
        return fail("無法寫入展開的檔案: " + destination + " (" + out.error() + ")");
    std::uint64_t written = 0;
    switch (inflateInto(in.get(), out.get(), static_cast<std::uint32_t>(length), written)) {
    case InflateResult::Done:
        break;
    case InflateResult::Damaged:
        return fail("補充包的壓縮資料已損壞: " + source);
    case InflateResult::Short:
        return fail("補充包的壓縮資料比記錄的長度短 (展開 " + std::to_string(written) + " 位元組，應有 " +
                    std::to_string(length) + " 位元組): " + source);
    case InflateResult::WriteFailed:
        return fail("無法寫入展開的檔案: " + destination + " (" + std::strerror(errno) + ")");
    }
    if (!out.keep())
        return fail("無法寫入展開的檔案: " + destination + " (" + out.error() + ")");
    return true;
}

bool isPackageFileName(const std::string &path)
{
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".vlp";
}

std::string expandedPackageName(const std::string &path)
{
    return fs::path(path).replace_extension(".mdb").string();
}

} // namespace velm
