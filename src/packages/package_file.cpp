#include "package_file.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

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

// The expansion is written under a name of its own and takes the destination's name only when complete.
class PartialFile {
public:
    explicit PartialFile(const std::string &destination)
    {
        std::random_device random;
        for (int attempt = 0; attempt < 8 && !m_file; ++attempt) {
            m_path = destination + ".part" + std::to_string(random() % 1000000);
            m_file.reset(std::fopen(m_path.c_str(), "wbx"));
        }
        m_created = m_file != nullptr;
    }
    ~PartialFile()
    {
        m_file.reset();
        if (m_created && !m_kept) {
            std::error_code ignored;
            fs::remove(m_path, ignored);
        }
    }
    PartialFile(const PartialFile &) = delete;
    PartialFile &operator=(const PartialFile &) = delete;

    std::FILE *get() const { return m_file.get(); }

    bool keepAs(const std::string &destination)
    {
        if (std::fclose(m_file.release()) != 0)
            return false;
        std::error_code error;
        fs::rename(m_path, destination, error);
        m_kept = !error;
        return m_kept;
    }

private:
    std::string m_path;
    FilePtr m_file;
    bool m_created = false;
    bool m_kept = false;
};

bool sameFile(const std::string &a, const std::string &b)
{
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

bool inflateInto(std::FILE *in, std::FILE *out, std::uint32_t length)
{
    Inflater inflater;
    if (!inflater.ready())
        return false;
    z_stream &z = inflater.stream();
    std::vector<unsigned char> input(kPackageChunkSize);
    std::vector<unsigned char> output(kOutputChunkSize);
    std::uint32_t remaining = length;
    while (remaining > 0) {
        // The output buffer is filled before it is written: few, large writes.
        const std::size_t want = std::min<std::size_t>(output.size(), remaining);
        z.next_out = output.data();
        z.avail_out = static_cast<uInt>(want);
        while (z.avail_out > 0) {
            if (z.avail_in == 0) {
                const std::size_t got = std::fread(input.data(), 1, input.size(), in);
                if (got == 0)
                    return false; // the file ends before N bytes came out
                z.next_in = input.data();
                z.avail_in = static_cast<uInt>(got);
            }
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc == Z_STREAM_END && z.avail_out > 0)
                return false; // the stream ends before N bytes came out
            if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z.avail_in == 0))
                return false;
        }
        if (std::fwrite(output.data(), 1, want, out) != want)
            return false;
        remaining -= static_cast<std::uint32_t>(want);
    }
    return true;
}

} // namespace

bool ExpandPackage(const std::string &source, const std::string &destination)
{
    // Expanding a file onto itself would destroy the package.
    if (sameFile(source, destination))
        return false;
    FilePtr in(std::fopen(source.c_str(), "rb"));
    if (!in)
        return false;
    std::array<unsigned char, 4> head{};
    if (std::fread(head.data(), 1, head.size(), in.get()) != head.size())
        return false;
    const auto length = static_cast<std::int32_t>(static_cast<std::uint32_t>(head[0]) |
                                                  static_cast<std::uint32_t>(head[1]) << 8 |
                                                  static_cast<std::uint32_t>(head[2]) << 16 |
                                                  static_cast<std::uint32_t>(head[3]) << 24);
    if (length < 0)
        return false;
    PartialFile out(destination);
    if (!out.get())
        return false;
    if (!inflateInto(in.get(), out.get(), static_cast<std::uint32_t>(length)))
        return false;
    return out.keepAs(destination);
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
