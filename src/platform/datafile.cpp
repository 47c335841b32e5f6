#include "platform/datafile.h"

#include "platform/errors.h"

#include <matio.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>

namespace kolmo::platform {

namespace fs = std::filesystem;

namespace {

// Largest matrix accepted: far above any model the program ships (77 361
// values), small enough that a file claiming absurd dimensions cannot make us
// allocate gigabytes before the data run out.
constexpr std::size_t kMaxElements = std::size_t{1} << 24;

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
void checkHeader(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        fail(file, "the file does not exist or cannot be opened");
    std::array<unsigned char, 128> h{};
    in.read(reinterpret_cast<char*>(h.data()), h.size());
    if (in.gcount() != static_cast<std::streamsize>(h.size()))
        fail(file, "not a MATLAB v5/v7 MAT-file (shorter than its header)");
    const bool little = h[126] == 'I' && h[127] == 'M';
    const bool big = h[126] == 'M' && h[127] == 'I';
    if (!little && !big)
        fail(file, "not a MATLAB v5/v7 MAT-file (no endian indicator)");
    const unsigned version = little ? (h[124] | (h[125] << 8)) : ((h[124] << 8) | h[125]);
    if (version == 0x0200)
        fail(file, "MATLAB v7.3 (HDF5) MAT-files are not supported; save it as v7 or v6");
    if (version != 0x0100)
        fail(file, "not a MATLAB v5/v7 MAT-file (unknown version)");
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
Mat readVariable(const fs::path& file, mat_t* mat, matvar_t* v, std::uintmax_t fileSize)
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
    std::vector<unsigned char> raw(rows * cols * elemSize);
    int start[2] = {0, 0}, stride[2] = {1, 1};
    int edge[2] = {static_cast<int>(rows), static_cast<int>(cols)};
    if (Mat_VarReadData(mat, v, raw.data(), start, stride, edge) != 0)
        fail(file, "the data of variable '" + name + "' cannot be read" +
                       (g_matioMessage.empty() ? "" : " (" + g_matioMessage + ")"));
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
    checkHeader(file);
    std::error_code ec;
    const auto fileSize = fs::file_size(file, ec);
    if (ec)
        fail(file, "the file cannot be read");

    std::lock_guard lock(g_matioMutex);
    Mat_LogInitFunc("kolmo", matioLog);
    g_matioMessage.clear();
    MatFile mat(Mat_Open(file.string().c_str(), MAT_ACC_RDONLY));
    if (!mat)
        fail(file, "not a readable MAT-file" + (g_matioMessage.empty() ? "" : " (" + g_matioMessage + ")"));

    DataRecord all;
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
        if (names) {
            bool wanted = false;
            for (const auto& n : *names)
                wanted = wanted || n == name;
            if (!wanted || all.find(name))
                continue;
        } else if (all.find(name)) {
            fail(file, "variable '" + name + "' appears twice");
        }
        all.fields.push_back({name, readVariable(file, mat.get(), v.get(), fileSize)});
    }
    if (!names)
        return all;
    DataRecord chosen;
    for (const auto& n : *names) {
        const DataVariable* f = all.find(n);
        if (!f)
            fail(file, "variable '" + n + "' is missing");
        chosen.fields.push_back(*f);
    }
    return chosen;
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
    MatFile mat(Mat_CreateVer(file.string().c_str(), nullptr, MAT_FT_MAT5));
    if (!mat)
        fail(file, "the file cannot be created");
    for (const auto& f : record.fields) {
        size_t dims[2] = {static_cast<size_t>(f.value.rows()), static_cast<size_t>(f.value.cols())};
        MatVar v(Mat_VarCreate(f.name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims,
                               const_cast<double*>(f.value.data()), MAT_F_DONT_COPY_DATA));
        if (!v || Mat_VarWrite(mat.get(), v.get(), compress ? MAT_COMPRESSION_ZLIB : MAT_COMPRESSION_NONE) != 0)
            fail(file, "variable '" + f.name + "' cannot be written");
    }
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
