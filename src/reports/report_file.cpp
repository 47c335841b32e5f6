#include "reports/report_file.h"

#include "platform/cp1250.h"
#include "platform/files.h"

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

void ReportFile::save(const std::filesystem::path& path) const { platform::writeFileAtomic(path, text_); }

} // namespace kolmo
