// libFuzzer target: arbitrary bytes as a data file read by its path name from
// a real file in the temporary folder, so that the checks made before reading
// (the kind of file, its size, the header) run as they do on the program's
// data folder.  The first byte chooses how the file is presented: 0xff grows
// it (sparsely) beyond the size limit, 0xfe names a folder in its place,
// anything else leaves the remaining bytes as they are.  Loading must end in a
// record or a DataFileError: no crash, leak, hang or large allocation.
#include "platform/datafile.h"
#include "platform/errors.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// The folder lives as long as the process: it is removed at exit, after
// every static object is gone, so it is held by a pointer that is never freed.
const std::filesystem::path& scratch()
{
    static const std::filesystem::path* dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        auto* d = new std::filesystem::path(std::filesystem::path(tmp && *tmp ? tmp : "/tmp") /
                                            ("kolmo_fuzz_matfile_path." + std::to_string(::getpid())));
        std::filesystem::create_directories(*d);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(scratch(), ec);
        });
        return d;
    }();
    return *dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto file = scratch() / "model.mat";
    std::error_code ec;
    std::filesystem::remove_all(file, ec);
    const std::uint8_t how = size > 0 ? data[0] : 0;
    if (how == 0xfe) {
        std::filesystem::create_directory(file, ec);
    } else {
        {
            std::ofstream out(file, std::ios::binary);
            if (size > 1)
                out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
            if (!out)
                std::abort();
        }
        if (how == 0xff && ::truncate(file.c_str(), (off_t{64} << 20) + 1) != 0)
            std::abort();
    }
    try {
        const auto record = kolmo::platform::loadDataFile(file);
        (void)kolmo::platform::struct2array(record);
    } catch (const kolmo::DataFileError&) {
    }
    try {
        (void)kolmo::platform::loadSingleMatrix(file, 2, 2);
    } catch (const kolmo::DataFileError&) {
    }
    return 0;
}
