// libFuzzer target: arbitrary bytes as a data file of the program folder.
// Loading must end in a record or a DataFileError: no crash, leak or hang.
// The bytes go to an in-memory file (memfd) opened through /proc/self/fd.
#include "geodesy/interg.h"
#include "platform/datafile.h"
#include "platform/errors.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

int memFile()
{
    static const int fd = memfd_create("kolmo_fuzz_mat", 0);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = memFile();
    if (fd < 0)
        std::abort();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        const auto record = kolmo::platform::loadDataFile(path);
        (void)kolmo::platform::struct2array(record);
    } catch (const kolmo::DataFileError&) {
    }
    try {
        // Scattered model data go on to the triangulation (kept small so a
        // highly compressed input cannot make one run take seconds).
        const auto amg = kolmo::platform::loadDataFile(path, {"Xgd", "Ygd", "Zgd"});
        if (amg.fields[0].value.size() <= 4000) {
            const auto model = kolmo::loadAmg2000(path);
            (void)(*model)(14.5, 46.0);
        }
    } catch (const kolmo::DataFileError&) {
    }
    return 0;
}
