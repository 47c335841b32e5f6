#include "platform/datafile.h"

#include "platform/files.h"

#include "platform/errors.h"

#include <matio.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>

#include <sys/stat.h>

namespace kolmo::platform {

namespace fs = std::filesystem;

namespace {

// Largest matrix accepted: far above any model the program ships (77 361
// values), small enough that a file claiming absurd dimensions cannot make us
// allocate gigabytes before the data run out.
constexpr std::size_t kMaxElements = std::size_t{1} << 22;

// Largest data file read: the models are under 1 MB and the border and
// database smaller still; a file beyond this is no data file of the program.
constexpr std::uintmax_t kMaxDataFileBytes = std::uintmax_t{64} << 20;

// matio reports problems through a process-wide log function that prints to
// stderr.  We keep the last message instead and put it into our own error
// text; the loader itself runs under a mutex, so the buffer is not shared.
std::mutex g_matioMutex;
std::string g_matioMessage;

void matioLog(int, char* message)
{
    g_matioMessage = message ? message : "";
}

struct MatCloser {
    void operator()(mat_t* m) const { Mat_Close(m); }
};
struct VarFreer {
    void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using MatFile = std::unique_ptr<mat_t, MatCloser>;
using MatVar = std::unique_ptr<matvar_t, VarFreer>;

[[noreturn]] void fail(const fs::path& file, const std::string& what)
{
    throw DataFileError(file.string() + ": " + what);
}

// The 128-byte header of a level-5 MAT-file ends in the version 0x0100 and the
// endian indicator "IM" (little-endian writer) or "MI" (big-endian).  Version
// 0x0200 is the HDF5-based v7.3 layout, which Octave cannot write either.
std::string checkHeader(const fs::path& file)
{
    // The file is looked at before it is read: a folder, a device (a link to
    // /dev/zero would be read until memory runs out) or a file far larger than
    // any data file of the program (a sparse file of gigabytes) is refused at
    // once, by its name.
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        fail(file, "the file does not exist or cannot be opened");
    if (S_ISDIR(st.st_mode))
        fail(file, "is a folder, not a data file");
    if (!S_ISREG(st.st_mode))
        fail(file, "is not a regular file (a device or a pipe), not a data file");
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxDataFileBytes)
        fail(file, "is " + std::to_string(static_cast<std::uintmax_t>(st.st_size) >> 20) +
                       " MB, larger than any data file of the program (at most " +
                       std::to_string(kMaxDataFileBytes >> 20) + " MB)");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        fail(file, "the file does not exist or cannot be opened");
    // Read no more than the limit, should the file have grown since.
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        fail(file, "the file cannot be read");
    if (bytes.size() < 128)
        fail(file, "not a MATLAB v5/v7 MAT-file (shorter than its header)");
    std::array<unsigned char, 128> h{};
    std::memcpy(h.data(), bytes.data(), 128);
    const bool little = h[126] == 'I' && h[127] == 'M';
    const bool big = h[126] == 'M' && h[127] == 'I';
    if (!little && !big)
        fail(file, "not a MATLAB v5/v7 MAT-file (no endian indicator)");
    const unsigned version = little ? (h[124] | (h[125] << 8)) : ((h[124] << 8) | h[125]);
    if (version == 0x0200)
        fail(file, "MATLAB v7.3 (HDF5) MAT-files are not supported; save it as v7 or v6");
    if (version != 0x0100)
        fail(file, "not a MATLAB v5/v7 MAT-file (unknown version)");
    return bytes;
}

// Byte order of the file, from its header.
struct Reader {
    const std::string& bytes;
    bool swap;

    std::uint32_t u32(std::size_t at) const
    {
        std::uint32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        return swap ? __builtin_bswap32(v) : v;
    }
};

// Size in bytes of one value of a level-5 data type (0 for a type that does
// not hold numbers).
std::size_t dataTypeSize(std::uint32_t type)
{
    switch (type) {
    case 1: case 2: return 1;            // miINT8, miUINT8
    case 3: case 4: return 2;            // miINT16, miUINT16
    case 5: case 6: case 7: return 4;    // miINT32, miUINT32, miSINGLE
    case 9: case 12: case 13: return 8;  // miDOUBLE, miINT64, miUINT64
    default: return 0;
    }
}

// Checks one uncompressed miMATRIX element whose tag is at `at` in r.bytes.
void checkMatrix(const fs::path& file, const Reader& r, std::size_t at, std::size_t nbytes)
{
    const std::size_t end = at + 8 + nbytes;
    std::size_t p = at + 8;
    // array flags
    if (end - p < 16 || r.u32(p) != 6 || r.u32(p + 4) != 8)
        fail(file, "malformed variable (array flags)");
    const std::uint32_t flags = r.u32(p + 8);
    const unsigned cls = flags & 0xff;
    const bool complex = (flags & 0x0800) != 0;
    // Data files hold named matrices; cells, records, objects and sparse
    // matrices are refused here, before matio builds their nested contents.
    if (cls == 1 || cls == 2 || cls == 3 || cls == 5 || cls > 15)
        fail(file, "holds a variable that is not a matrix (class " + std::to_string(cls) + ")");
    if (complex)
        fail(file, "holds a complex variable");
    p += 16;
    // dimensions
    if (end - p < 8 || r.u32(p) != 5)
        fail(file, "malformed variable (dimensions)");
    const std::uint32_t dimBytes = r.u32(p + 4);
    const std::size_t dimPadded = (static_cast<std::size_t>(dimBytes) + 7) / 8 * 8;
    if (dimBytes % 4 != 0 || dimBytes < 8 || dimPadded > end - p - 8)
        fail(file, "malformed variable (dimensions)");
    std::size_t elements = 1;
    for (std::size_t d = 0; d < dimBytes / 4; ++d) {
        const std::uint32_t n = r.u32(p + 8 + 4 * d);
        if (n > kMaxElements || (elements *= n) > kMaxElements)
            fail(file, "a variable is too large");
    }
    p += 8 + dimPadded;
    // name: a small element (length in the upper half of the tag) or a full one
    if (end - p < 8)
        fail(file, "malformed variable (name)");
    const std::uint32_t nameTag = r.u32(p);
    if ((nameTag >> 16) != 0) {
        p += 8;
    } else {
        const std::size_t nameLen = r.u32(p + 4), padded = (nameLen + 7) / 8 * 8;
        if (padded > end - p - 8)
            fail(file, "malformed variable (name)");
        p += 8 + padded;
    }
    // The real part: text (class 4) in any of its encodings, numbers (classes
    // 6..15) exactly as many as the dimensions say.  An imaginary part is
    // refused later.
    if (elements > 0) {
        if (end - p < 8)
            fail(file, "malformed variable (no data)");
        const std::uint32_t tag = r.u32(p);
        const bool small = (tag >> 16) != 0;  // up to 4 bytes kept inside the tag
        const std::uint32_t dtype = small ? (tag & 0xffff) : tag;
        const std::size_t dbytes = small ? (tag >> 16) : r.u32(p + 4);
        if (small ? dbytes > 4 : dbytes > end - p - 8)
            fail(file, "malformed variable (the data run past the variable)");
        if (cls >= 6) {
            const std::size_t width = dataTypeSize(dtype);
            if (width == 0 || dbytes != elements * width)
                fail(file, "malformed variable (the data do not match its dimensions)");
        }
    }
}

// Inflates a miCOMPRESSED element: one zlib stream that holds exactly one
// miMATRIX element.  The output is bounded so a small file cannot expand
// into gigabytes.
std::string inflateElement(const fs::path& file, const std::string& bytes, std::size_t at, std::size_t nbytes)
{
    constexpr std::size_t kMaxInflated = 8 * kMaxElements + (std::size_t{1} << 20);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        fail(file, "cannot decompress a variable");
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at + 8));
    z.avail_in = static_cast<uInt>(nbytes);
    std::string out;
    int rc = Z_OK;
    while (rc == Z_OK) {
        const std::size_t have = out.size();
        if (have >= kMaxInflated) {
            inflateEnd(&z);
            fail(file, "a compressed variable is too large");
        }
        out.resize(std::min(kMaxInflated, have + (std::size_t{1} << 16)));
        z.next_out = reinterpret_cast<Bytef*>(out.data() + have);
        z.avail_out = static_cast<uInt>(out.size() - have);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
        if (rc == Z_BUF_ERROR && z.avail_in > 0)
            rc = Z_OK;  // output full, go on
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END)
        fail(file, "a compressed variable is damaged");
    return out;
}

// Walks the top-level elements of a level-5 file before matio reads it:
// every element must lie inside the file, and in an uncompressed numeric
// matrix the stored values must be exactly as many as its dimensions say
// (matio would otherwise read past the element or leave values unset).
// Compressed elements are checked by zlib as matio inflates them.
void checkStructure(const fs::path& file, const std::string& bytes)
{
    const bool swap = bytes[126] == 'M';
    const Reader r{bytes, swap};
    const std::size_t size = bytes.size();
    std::size_t at = 128;
    int count = 0;
    while (at < size) {
        if (size - at < 8)
            fail(file, "truncated (a few stray bytes at the end)");
        const std::uint32_t type = r.u32(at), nbytes = r.u32(at + 4);
        if (nbytes > size - at - 8)
            fail(file, "truncated (a variable runs past the end of the file)");
        if (++count > 256)
            fail(file, "holds too many variables");
        if (type == 14) {  // miMATRIX, uncompressed
            checkMatrix(file, r, at, nbytes);
            at += 8 + (static_cast<std::size_t>(nbytes) + 7) / 8 * 8;
        } else if (type == 15) {  // miCOMPRESSED: one zlib stream, no padding
            const std::string inner = inflateElement(file, bytes, at, nbytes);
            const Reader ri{inner, swap};
            if (inner.size() < 8 || ri.u32(0) != 14 || ri.u32(4) > inner.size() - 8)
                fail(file, "a compressed variable is damaged");
            checkMatrix(file, ri, 0, ri.u32(4));
            at += 8 + nbytes;
        } else {
            fail(file, "malformed (unexpected element type " + std::to_string(type) + ")");
        }
    }
}

template <typename T>
void copyAs(const std::vector<unsigned char>& raw, Mat& out)
{
    const auto n = static_cast<std::size_t>(out.size());
    for (std::size_t i = 0; i < n; ++i) {
        T v;
        std::memcpy(&v, raw.data() + i * sizeof(T), sizeof(T));
        out.data()[i] = static_cast<double>(v);
    }
}

std::string className(matio_classes c)
{
    switch (c) {
    case MAT_C_CHAR: return "text";
    case MAT_C_CELL: return "a cell array";
    case MAT_C_STRUCT: return "a record";
    case MAT_C_SPARSE: return "a sparse matrix";
    case MAT_C_OBJECT: return "an object";
    case MAT_C_FUNCTION: return "a function handle";
    case MAT_C_OPAQUE: return "an opaque value";
    default: return "an unknown class";
    }
}

// Reads the data of one variable whose header `v` has just been read.
Mat readVariable(const fs::path& file, matvar_t* v, std::uintmax_t fileSize)
{
    const std::string name = v->name ? v->name : "";
    std::size_t elemSize = 0;
    switch (v->class_type) {
    case MAT_C_DOUBLE: case MAT_C_INT64: case MAT_C_UINT64: elemSize = 8; break;
    case MAT_C_SINGLE: case MAT_C_INT32: case MAT_C_UINT32: elemSize = 4; break;
    case MAT_C_INT16: case MAT_C_UINT16: elemSize = 2; break;
    case MAT_C_INT8: case MAT_C_UINT8: elemSize = 1; break;
    default:
        fail(file, "variable '" + name + "' is " + className(v->class_type) + ", not a numeric matrix");
    }
    if (v->isComplex)
        fail(file, "variable '" + name + "' is complex");
    if (v->rank != 2 || v->dims == nullptr)
        fail(file, "variable '" + name + "' has " + std::to_string(v->rank) + " dimensions, not 2");
    const std::size_t rows = v->dims[0], cols = v->dims[1];
    if (rows > kMaxElements || cols > kMaxElements || rows * cols > kMaxElements)
        fail(file, "variable '" + name + "' is too large");
    // Uncompressed data take at least one byte per value in the file.
    if (v->compression == MAT_COMPRESSION_NONE && rows * cols > fileSize)
        fail(file, "variable '" + name + "' is truncated");
    Mat out(static_cast<Eigen::Index>(rows), static_cast<Eigen::Index>(cols));
    if (rows * cols == 0)
        return out;
    // The data were read with the header (Mat_VarReadNext); matio's partial
    // reader leaks zlib state on damaged compressed data, the full one does not.
    if (v->data == nullptr || v->nbytes < rows * cols * elemSize || static_cast<std::size_t>(v->data_size) != elemSize)
        fail(file, "the data of variable '" + name + "' cannot be read" +
                       (g_matioMessage.empty() ? "" : " (" + g_matioMessage + ")"));
    std::vector<unsigned char> raw(static_cast<const unsigned char*>(v->data),
                                   static_cast<const unsigned char*>(v->data) + rows * cols * elemSize);
    switch (v->class_type) {
    case MAT_C_DOUBLE: copyAs<double>(raw, out); break;
    case MAT_C_SINGLE: copyAs<float>(raw, out); break;
    case MAT_C_INT64: copyAs<std::int64_t>(raw, out); break;
    case MAT_C_UINT64: copyAs<std::uint64_t>(raw, out); break;
    case MAT_C_INT32: copyAs<std::int32_t>(raw, out); break;
    case MAT_C_UINT32: copyAs<std::uint32_t>(raw, out); break;
    case MAT_C_INT16: copyAs<std::int16_t>(raw, out); break;
    case MAT_C_UINT16: copyAs<std::uint16_t>(raw, out); break;
    case MAT_C_INT8: copyAs<std::int8_t>(raw, out); break;
    default: copyAs<std::uint8_t>(raw, out); break;
    }
    return out;
}

DataRecord load(const fs::path& file, const std::vector<std::string>* names)
{
    const std::string bytes = checkHeader(file);
    checkStructure(file, bytes);
    const auto fileSize = static_cast<std::uintmax_t>(bytes.size());

    std::lock_guard lock(g_matioMutex);
    Mat_LogInitFunc("kolmo", matioLog);
    g_matioMessage.clear();
    MatFile mat(Mat_Open(file.string().c_str(), MAT_ACC_RDONLY));
    if (!mat)
        fail(file, "not a readable MAT-file" + (g_matioMessage.empty() ? "" : " (" + g_matioMessage + ")"));

    // First the headers of all variables, in stored order; the data are read
    // afterwards, each by its name (reading data moves matio's file position,
    // so the two cannot be interleaved).
    std::vector<std::string> stored;
    for (;;) {
        g_matioMessage.clear();
        MatVar v(Mat_VarReadNextInfo(mat.get()));
        if (!v) {
            // The end of the file, or a variable header matio could not read.
            if (!g_matioMessage.empty())
                fail(file, "malformed variable (" + g_matioMessage + ")");
            break;
        }
        const std::string name = v->name ? v->name : "";
        // Bound the allocation the data read will make (compressed variables
        // are not covered by checkStructure).
        std::size_t elements = 1;
        for (int d = 0; d < v->rank && v->dims; ++d)
            if (v->dims[d] > kMaxElements || (elements *= v->dims[d]) > kMaxElements)
                fail(file, "variable '" + name + "' is too large");
        if (std::find(stored.begin(), stored.end(), name) != stored.end())
            fail(file, "variable '" + name + "' appears twice");
        stored.push_back(name);
    }

    // Then the data, in a second sequential pass; the sizes were checked
    // (checkStructure) before matio allocates anything.
    std::vector<DataVariable> all;
    Mat_Rewind(mat.get());
    for (const auto& name : stored) {
        const bool wanted = !names || std::find(names->begin(), names->end(), name) != names->end();
        g_matioMessage.clear();
        MatVar v(wanted ? Mat_VarReadNext(mat.get()) : Mat_VarReadNextInfo(mat.get()));
        if (!v || (v->name ? v->name : "") != name)
            fail(file, "variable '" + name + "' cannot be read" +
                           (g_matioMessage.empty() ? "" : " (" + g_matioMessage + ")"));
        if (wanted)
            all.push_back({name, readVariable(file, v.get(), fileSize)});
    }
    auto read = [&](const std::string& name) {
        for (auto& f : all)
            if (f.name == name)
                return f;
        fail(file, "variable '" + name + "' is missing");
    };
    DataRecord out;
    if (!names) {
        for (const auto& n : stored)
            out.fields.push_back(read(n));
        return out;
    }
    for (const auto& n : *names) {
        if (std::find(stored.begin(), stored.end(), n) == stored.end())
            fail(file, "variable '" + n + "' is missing");
        out.fields.push_back(read(n));
    }
    return out;
}

} // namespace

const DataVariable* DataRecord::find(std::string_view name) const
{
    for (const auto& f : fields)
        if (f.name == name)
            return &f;
    return nullptr;
}

const Mat& DataRecord::at(std::string_view name) const
{
    if (const DataVariable* f = find(name))
        return f->value;
    throw DataFileError("variable '" + std::string(name) + "' is missing");
}

DataRecord loadDataFile(const fs::path& file)
{
    return load(file, nullptr);
}

DataRecord loadDataFile(const fs::path& file, const std::vector<std::string>& names)
{
    return load(file, &names);
}

void saveDataFile(const fs::path& file, const DataRecord& record, bool compress)
{
    std::lock_guard lock(g_matioMutex);
    Mat_LogInitFunc("kolmo", matioLog);
    g_matioMessage.clear();
    // matio writes into a file of its own naming; the finished file then
    // replaces the old one in one step.
    writeFileAtomicVia(file, [&](const fs::path& temporary) {
        MatFile mat(Mat_CreateVer(temporary.string().c_str(), nullptr, MAT_FT_MAT5));
        if (!mat)
            fail(file, "the file cannot be created");
        for (const auto& f : record.fields) {
            size_t dims[2] = {static_cast<size_t>(f.value.rows()), static_cast<size_t>(f.value.cols())};
            MatVar v(Mat_VarCreate(f.name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims,
                                   const_cast<double*>(f.value.data()), MAT_F_DONT_COPY_DATA));
            if (!v || Mat_VarWrite(mat.get(), v.get(), compress ? MAT_COMPRESSION_ZLIB : MAT_COMPRESSION_NONE) != 0)
                fail(file, "variable '" + f.name + "' cannot be written");
        }
    });
}

Mat struct2array(const DataRecord& record)
{
    Eigen::Index rows = -1, cols = 0;
    for (const auto& f : record.fields) {
        if (f.value.size() == 0)
            continue;
        if (rows >= 0 && f.value.rows() != rows)
            throw DataFileError("the fields cannot be joined: '" + f.name + "' has " +
                                std::to_string(f.value.rows()) + " rows, the others " + std::to_string(rows));
        rows = f.value.rows();
        cols += f.value.cols();
    }
    Mat out(rows < 0 ? 0 : rows, cols);
    Eigen::Index c = 0;
    for (const auto& f : record.fields) {
        if (f.value.size() == 0)
            continue;
        out.middleCols(c, f.value.cols()) = f.value;
        c += f.value.cols();
    }
    return out;
}

Mat loadSingleMatrix(const fs::path& file, Eigen::Index rows, Eigen::Index cols)
{
    const DataRecord r = loadDataFile(file);
    if (r.fields.size() != 1)
        fail(file, "holds " + std::to_string(r.fields.size()) + " variables, not exactly one");
    Mat m = struct2array(r);
    if (m.rows() != rows || m.cols() != cols)
        fail(file, "the matrix is " + std::to_string(m.rows()) + " x " + std::to_string(m.cols()) + ", not " +
                       std::to_string(rows) + " x " + std::to_string(cols));
    return m;
}

} // namespace kolmo::platform
