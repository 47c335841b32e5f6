// The report of a `transform` run that writes it to the standard output
// (--report -) or not at all (no --report beside --out or --params-json):
// the computation writes it, as ever, into a file, here one in a private
// folder under the system's temporary folder, which goes when the run ends.
#pragma once

#include "platform/errors.h"
#include "platform/files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace kolmo::cli {

class ScratchReport {
public:
    // `name`: the report's file name (the computation names nothing else by it).
    explicit ScratchReport(const std::string& name)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kolmo-report-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw FileError("cannot make a folder for the report in " +
                            std::filesystem::temp_directory_path().string() + ": " + std::strerror(errno));
        dir_ = pattern;
        file_ = dir_ / name;
    }
    ~ScratchReport()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ScratchReport(const ScratchReport&) = delete;
    ScratchReport& operator=(const ScratchReport&) = delete;

    const std::filesystem::path& file() const { return file_; }

    // The report as written, onto the standard output (Windows-1250, as the file).
    void copyToStandardOutput() const
    {
        std::ifstream in(file_, std::ios::binary);
        if (!in)
            throw FileError("cannot read the report back from " + file_.string());
        auto out = platform::FileWriter::standardOutput();
        std::string piece(1 << 20, '\0');
        while (in) {
            in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
            if (in.gcount() > 0)
                out.write(std::string_view(piece.data(), static_cast<std::size_t>(in.gcount())));
        }
        out.commit();
    }

private:
    std::filesystem::path dir_, file_;
};

} // namespace kolmo::cli
