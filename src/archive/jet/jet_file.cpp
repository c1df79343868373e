#include "archive/jet/jet_file.h"

#include "base/cp950.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iconv.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velm::jet {
namespace {

constexpr unsigned char kJetMagic[4] = {0x00, 0x01, 0x00, 0x00};
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kJet3PageSize = 2048;
constexpr std::size_t kJet4PageSize = 4096;
// Page 2 holds the catalog's definition, so a whole file has at least three pages.
constexpr std::uint64_t kSmallestPageCount = 3;
constexpr int kRowOffsetMask = 0x1FFF;
constexpr std::uint32_t kLongValueInline = 0x80000000;
constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFF;

std::uint16_t readU16(const unsigned char *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const unsigned char *p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::uint64_t readU64(const unsigned char *p)
{
    return std::uint64_t(readU32(p)) | (std::uint64_t(readU32(p + 4)) << 32);
}

[[noreturn]] void fileDamaged(const std::string &detail)
{
    throw ReadFailure("檔案已損壞 (" + detail + ")");
}

// The peak resident size of this program's own memory (VmHWM; the usage counters also hold what the process
// that started it had).
long peakResidentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:"))
            return std::atol(line.c_str() + 6);
    return 0;
}

// libmdb reads each catalog row's property list whole, following its chain of pages however long, and when
// memory runs out it drops the list without a word. A catalog that took half of all the memory this process may
// have (the reader helper runs within a limit) came from a damaged file.
bool catalogTookTheMemory(long peakBeforeKb)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return false;
    return static_cast<rlim_t>(std::max(peakResidentKb() - peakBeforeKb, 0L)) * 1024 > limit.rlim_cur / 2;
}

// libmdb copies long values into the column's bound buffer; it must be unbound again before the next row.
class LongValueBinding {
public:
    LongValueBinding(MdbColumn *column, std::vector<char> &chunk) : m_column(column)
    {
        m_column->bind_ptr = chunk.data();
    }
    ~LongValueBinding() { m_column->bind_ptr = nullptr; }
    LongValueBinding(const LongValueBinding &) = delete;
    LongValueBinding &operator=(const LongValueBinding &) = delete;

private:
    MdbColumn *m_column;
};

} // namespace

void prepareTextConversion(MdbHandle *handle)
{
    mdb_iconv_close(handle);
    const char *names = IS_JET3(handle) ? "ISO-8859-1" : "UTF-8";
    const char *stored = IS_JET3(handle) ? "ISO-8859-1" : "UTF-16LE";
    handle->iconv_in = iconv_open(names, stored);
    handle->iconv_out = iconv_open(stored, names);
    if (handle->iconv_in == (iconv_t)-1 || handle->iconv_out == (iconv_t)-1)
        throw ReadFailure("無法準備文字轉換");
}

FileFacts inspectFile(const std::string &path)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status))
        throw ReadFailure("檔案不存在");
    if (!fs::is_regular_file(status))
        throw ReadFailure("不是 Jet 資料庫檔案");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ReadFailure("無法開啟檔案");
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec)
        throw ReadFailure("無法開啟檔案");
    if (size == 0)
        throw ReadFailure("檔案是空的");

    unsigned char header[kVersionOffset + 1] = {};
    in.read(reinterpret_cast<char *>(header), sizeof header);
    const bool jetHeader =
        in.gcount() == std::streamsize(sizeof header) && std::memcmp(header, kJetMagic, sizeof kJetMagic) == 0 &&
        (std::memcmp(header + 4, "Standard Jet DB", 15) == 0 || std::memcmp(header + 4, "Standard ACE DB", 15) == 0);
    if (!jetHeader)
        throw ReadFailure("不是 Jet 資料庫檔案");

    FileFacts facts;
    facts.jet3 = header[kVersionOffset] == MDB_VER_JET3;
    facts.pageSize = facts.jet3 ? kJet3PageSize : kJet4PageSize;
    facts.pageCount = size / facts.pageSize;
    if (size % facts.pageSize != 0 || facts.pageCount < kSmallestPageCount)
        throw ReadFailure("檔案已損壞 (長度不是完整的頁數，檔案可能不完整)");
    return facts;
}

MappedFile::MappedFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ReadFailure("無法開啟檔案");
    struct stat facts {};
    if (::fstat(fd, &facts) == 0 && facts.st_size > 0) {
        m_size = std::size_t(facts.st_size);
        m_data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);
    if (m_data == nullptr || m_data == MAP_FAILED) {
        m_data = nullptr;
        throw ReadFailure("無法開啟檔案");
    }
}

MappedFile::~MappedFile()
{
    if (m_data)
        ::munmap(m_data, m_size);
}

JetFile::JetFile(const std::string &path) : m_facts(inspectFile(path)), m_mapping(path)
{
    if (m_mapping.size() != m_facts.pageCount * m_facts.pageSize)
        fileDamaged("檔案在讀取時變動");
    m_handle.reset(mdb_open_buffer(m_mapping.data(), m_mapping.size(), MDB_NOFLAGS));
    if (!m_handle)
        fileDamaged("無法開啟檔案頭");
    if (IS_JET3(m_handle.get()) != m_facts.jet3 || std::size_t(m_handle->fmt->pg_size) != m_facts.pageSize)
        fileDamaged("檔案頭不一致");
    prepareTextConversion(m_handle.get());

    const long peakBeforeKb = peakResidentKb();
    if (!mdb_read_catalog(m_handle.get(), MDB_ANY))
        fileDamaged("無法讀取資料表目錄");
    if (catalogTookTheMemory(peakBeforeKb))
        fileDamaged("讀取資料表目錄時用盡記憶體上限");
    // The catalog is a table itself: each of its rows must have become an entry.
    MdbCatalogEntry *catalogTable = nullptr;
    for (unsigned i = 0; i < m_handle->catalog->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(m_handle->catalog, i));
        if (entry->object_type == MDB_TABLE && std::strcmp(entry->object_name, "MSysObjects") == 0)
            catalogTable = entry;
        else if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
            m_tables.push_back(entry);
    }
    if (!catalogTable)
        fileDamaged("找不到資料表目錄");
    const MdbTableDefPtr catalogDefinition(mdb_read_table(catalogTable));
    if (!catalogDefinition || catalogDefinition->num_rows != m_handle->catalog->len)
        fileDamaged("資料表目錄不完整");
}

JetTable JetFile::openTable(std::size_t index)
{
    return JetTable(*this, m_tables.at(index));
}

std::string JetFile::nameText(const char *stored) const
{
    return m_facts.jet3 ? fromCp950(stored) : std::string(stored);
}

JetTable::JetTable(JetFile &file, MdbCatalogEntry *entry)
    : m_file(&file), m_name(file.nameText(entry->object_name)), m_chunk(MDB_PGSIZE)
{
    m_table.reset(mdb_read_table(entry));
    if (!m_table)
        damaged("無法讀取定義");
    if (!mdb_read_columns(m_table.get()) || m_table->num_cols == 0 || m_table->columns->len != m_table->num_cols)
        damaged("無法讀取欄位定義");
    for (unsigned i = 0; i < m_table->num_cols; ++i) {
        const auto *column = static_cast<MdbColumn *>(g_ptr_array_index(m_table->columns, i));
        Column c;
        c.name = file.nameText(column->name);
        if (c.name.empty())
            damaged("欄位名稱是空的");
        if (!isKnownFieldType(column->col_type))
            damaged("欄位 " + c.name + " 的型別不明 (" + std::to_string(column->col_type) + ")");
        c.type = static_cast<FieldType>(column->col_type);
        // libmdb's names for the two bytes are the wrong way round: col_scale holds the precision.
        c.declaration =
            columnDeclaration(c.type, column->col_size, column->col_scale, column->col_prec, file.facts().jet3);
        m_columns.push_back(std::move(c));
    }
    m_fields.resize(m_columns.size());
    m_values.resize(m_columns.size());
    m_buffers.resize(m_columns.size());
    mdb_rewind_table(m_table.get());
}

void JetTable::damaged(const std::string &detail) const
{
    fileDamaged("資料表 " + m_name + ": " + detail);
}

bool JetTable::next()
{
    // libmdb skips rows it cannot make sense of without a word: the count in the definition tells.
    if (!mdb_fetch_row(m_table.get())) {
        if (m_rowsRead != m_table->num_rows)
            damaged("只讀到 " + std::to_string(m_rowsRead) + " 筆資料，應有 " + std::to_string(m_table->num_rows) +
                    " 筆");
        return false;
    }
    if (++m_rowsRead > m_table->num_rows)
        damaged("資料筆數多於定義中的 " + std::to_string(m_table->num_rows) + " 筆");
    decodeRow();
    return true;
}

void JetTable::decodeRow()
{
    MdbHandle *mdb = m_file->handle();
    // The fetch kept no null flags (a null text and an empty one look alike there): crack the row again.
    int start = 0;
    std::size_t size = 0;
    if (mdb_find_row(mdb, int(m_table->cur_row) - 1, &start, &size) != 0)
        damaged("資料列位置錯誤");
    if (mdb_crack_row(m_table.get(), start & kRowOffsetMask, size, m_fields.data()) < 0)
        damaged("資料列無法解讀");
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        decodeField(i, m_fields[i]);
}

void JetTable::decodeField(std::size_t index, const MdbField &field)
{
    FieldValue &value = m_values[index];
    value = FieldValue();
    const Column &column = m_columns[index];
    // A yes/no field keeps its value in the null flags.
    if (column.type == FieldType::Boolean) {
        value.kind = ValueKind::Integer;
        value.integer = field.is_null ? 0 : 1;
        return;
    }
    if (field.is_null)
        return;

    MdbHandle *mdb = m_file->handle();
    if (field.start < 0 || field.siz < 0 || field.start + field.siz > mdb->fmt->pg_size)
        damaged("欄位 " + column.name + " 的位置超出資料頁");
    const unsigned char *data = mdb->pg_buf + field.start;
    const auto need = [&](int bytes) {
        if (field.siz < bytes)
            damaged("欄位 " + column.name + " 的長度不足");
    };
    std::string &buffer = m_buffers[index];
    const auto setText = [&] {
        value.kind = ValueKind::Text;
        value.bytes = buffer;
    };

    switch (column.type) {
    case FieldType::Boolean:
        break;
    case FieldType::Byte:
        need(1);
        value.kind = ValueKind::Integer;
        value.integer = data[0];
        break;
    case FieldType::Integer:
        need(2);
        value.kind = ValueKind::Integer;
        value.integer = static_cast<std::int16_t>(readU16(data));
        break;
    case FieldType::LongInteger:
        need(4);
        value.kind = ValueKind::Integer;
        value.integer = static_cast<std::int32_t>(readU32(data));
        break;
    case FieldType::Currency:
        need(8);
        value.kind = ValueKind::Real;
        value.real = currencyValue(static_cast<std::int64_t>(readU64(data)));
        break;
    case FieldType::Single:
        need(4);
        value.kind = ValueKind::Real;
        value.real = std::bit_cast<float>(readU32(data));
        break;
    case FieldType::Double:
        need(8);
        value.kind = ValueKind::Real;
        value.real = std::bit_cast<double>(readU64(data));
        break;
    case FieldType::DateTime: {
        need(8);
        const double days = std::bit_cast<double>(readU64(data));
        if (std::optional<std::string> text = formatJetDate(days)) {
            buffer = std::move(*text);
            setText();
        } else {
            value.kind = ValueKind::Real;
            value.real = days;
        }
        break;
    }
    case FieldType::Binary:
        buffer.assign(reinterpret_cast<const char *>(data), std::size_t(field.siz));
        value.kind = ValueKind::Blob;
        value.bytes = buffer;
        break;
    case FieldType::Text:
        buffer.clear();
        if (m_file->facts().jet3)
            appendJet3Text(buffer, data, std::size_t(field.siz));
        else
            appendJet4Text(buffer, data, std::size_t(field.siz));
        setText();
        break;
    case FieldType::Memo: {
        readLongValue(index, field, m_longValue);
        const auto *raw = reinterpret_cast<const unsigned char *>(m_longValue.data());
        buffer.clear();
        if (m_file->facts().jet3)
            appendJet3Text(buffer, raw, m_longValue.size());
        else
            appendJet4Text(buffer, raw, m_longValue.size());
        setText();
        break;
    }
    case FieldType::Ole:
        readLongValue(index, field, buffer);
        value.kind = ValueKind::Blob;
        value.bytes = buffer;
        break;
    case FieldType::ReplicationId:
        need(16);
        buffer = formatGuid(data);
        setText();
        break;
    case FieldType::Decimal: {
        need(17);
        auto *column = static_cast<MdbColumn *>(g_ptr_array_index(m_table->columns, index));
        // The same two bytes in the order libmdb's own reading passes them.
        const GlibCharPtr text(mdb_numeric_to_string(mdb, field.start, column->col_scale, column->col_prec));
        buffer = text ? text.get() : "";
        setText();
        break;
    }
    }
}

void JetTable::readLongValue(std::size_t index, const MdbField &field, std::string &out)
{
    out.clear();
    if (field.siz == 0)
        return;
    const Column &column = m_columns[index];
    if (field.siz < MDB_MEMO_OVERHEAD)
        damaged("欄位 " + column.name + " 的長度不足");

    MdbHandle *mdb = m_file->handle();
    unsigned char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, mdb->pg_buf + field.start, sizeof header);
    const std::uint32_t word = readU32(header);
    const std::size_t declared = word & kLongValueLengthMask;
    const bool fits = (word & kLongValueInline) ? declared == std::size_t(field.siz - MDB_MEMO_OVERHEAD)
                                                : declared <= m_file->facts().pageCount * m_file->facts().pageSize;
    if (!fits)
        damaged("欄位 " + column.name + " 的長度不符");

    auto *mdbColumn = static_cast<MdbColumn *>(g_ptr_array_index(m_table->columns, index));
    mdbColumn->cur_value_start = field.start;
    mdbColumn->cur_value_len = field.siz;
    const LongValueBinding binding(mdbColumn, m_chunk);
    out.reserve(declared);
    out.append(m_chunk.data(), mdb_ole_read(mdb, mdbColumn, header, m_chunk.size()));
    // A chain that loops or breaks must not keep the reader busy: it can visit each page only once.
    std::uint64_t pieces = 1;
    while (out.size() < declared) {
        const std::size_t piece = mdb_ole_read_next(mdb, mdbColumn, header);
        if (piece == 0 || piece > m_chunk.size() || ++pieces > m_file->facts().pageCount)
            break;
        out.append(m_chunk.data(), piece);
    }
    if (out.size() < declared)
        damaged("欄位 " + column.name + " 的內容不完整");
    out.resize(declared);
}

} // namespace velm::jet
