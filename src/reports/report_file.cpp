#include "reports/report_file.h"

#include "platform/cp1250.h"
#include "platform/errors.h"

#include <fstream>
#include <mutex>
#include <unordered_map>

namespace kolmo {

const std::string& ReportFile::cp1250Format(const char* utf8Format)
{
    // Formats are literals: keyed by address, converted once.
    static std::mutex lock;
    static std::unordered_map<const char*, std::string> cache;
    std::lock_guard guard(lock);
    auto it = cache.find(utf8Format);
    if (it == cache.end())
        it = cache.emplace(utf8Format, platform::toCp1250(utf8Format)).first;
    return it->second;
}

void ReportFile::save(const std::filesystem::path& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw FileError("cannot open " + path.string() + " for writing");
    out.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    out.close();
    if (!out)
        throw FileError("cannot write " + path.string());
}

} // namespace kolmo
