#include "support/run.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kolmo::test {

std::string readText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

RunResult run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& cwd)
{
    return run(program, args, cwd, RunOptions{});
}

std::filesystem::path freshFolder(const std::string& name)
{
    static std::atomic<int> counter{0};
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kolmo_" + name + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

RunResult run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& cwd, const RunOptions& options)
{
    const auto dir = std::filesystem::temp_directory_path();
    const auto tag = std::to_string(::getpid()) + "_" + std::to_string(std::rand());
    const auto outFile = dir / ("kolmo_out_" + tag);
    const auto errFile = dir / ("kolmo_err_" + tag);
    const auto inFile = dir / ("kolmo_in_" + tag);
    {
        std::ofstream in(inFile, std::ios::binary);
        in << options.input;
    }
    RunResult r;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        const int fo = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int fe = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int fi = ::open(inFile.c_str(), O_RDONLY);
        ::dup2(fi, 0);
        ::dup2(fo, 1);
        ::dup2(fe, 2);
        if (options.ignoreFileSizeSignal)
            ::signal(SIGXFSZ, SIG_IGN);
        if (options.fileSizeLimit >= 0) {
            const rlimit lim{static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        if (options.memoryLimit >= 0) {
            const rlimit lim{static_cast<rlim_t>(options.memoryLimit), static_cast<rlim_t>(options.memoryLimit)};
            ::setrlimit(RLIMIT_AS, &lim);
        }
        if (options.cpuSeconds >= 0) {
            const rlimit lim{static_cast<rlim_t>(options.cpuSeconds), static_cast<rlim_t>(options.cpuSeconds)};
            ::setrlimit(RLIMIT_CPU, &lim);
        }
        for (const auto& var : options.environment)
            ::putenv(const_cast<char*>(var.c_str()));
        std::vector<char*> argv;
        std::string prog = program.string();
        argv.push_back(prog.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(prog.c_str(), argv.data());
        ::_exit(127);
    }
    int st = 0;
    struct rusage usage {};
    ::wait4(pid, &st, 0, &usage);
    r.maxRssKb = usage.ru_maxrss;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = readText(outFile);
    r.err = readText(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    std::filesystem::remove(inFile);
    return r;
}

namespace {

std::string linesWhere(const std::string& err, bool details)
{
    std::istringstream in(err);
    std::string line, out;
    while (std::getline(in, line))
        if ((line.rfind("  ", 0) == 0) == details)
            out += (details ? line.substr(2) : line) + '\n';
    return out;
}

} // namespace

std::string boxLines(const std::string& err) { return linesWhere(err, false); }
std::string detailLines(const std::string& err) { return linesWhere(err, true); }

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any)
                out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any)
        out.push_back(cur);
    return out;
}

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

// Two tokens agree when equal, or when both are numbers with the same number
// of decimals that differ by at most one unit in the last decimal.
bool tokensAgree(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    char* ea = nullptr;
    char* eb = nullptr;
    const double va = std::strtod(a.c_str(), &ea);
    const double vb = std::strtod(b.c_str(), &eb);
    if (*ea || *eb || a.empty() || b.empty())
        return false;
    const auto da = a.find('.'), db = b.find('.');
    if ((da == std::string::npos) != (db == std::string::npos))
        return false;
    const std::size_t decimals = da == std::string::npos ? 0 : a.size() - da - 1;
    if (db != std::string::npos && b.size() - db - 1 != decimals)
        return false;
    return std::abs(va - vb) <= 1.000001 * std::pow(10.0, -static_cast<double>(decimals));
}

bool linesAgree(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    if (a.size() != b.size())
        return false; // the layout (field widths) must be the same
    const auto ta = words(a), tb = words(b);
    if (ta.size() != tb.size())
        return false;
    for (std::size_t k = 0; k < ta.size(); ++k)
        if (!tokensAgree(ta[k], tb[k]))
            return false;
    return true;
}

} // namespace

std::string compareReports(const std::string& expected, const std::string& actual)
{
    const auto le = lines(expected), la = lines(actual);
    std::ostringstream diff;
    int shown = 0;
    for (std::size_t k = 0; k < std::max(le.size(), la.size()); ++k) {
        if (k == 2 || k == 3)
            continue;
        const std::string& e = k < le.size() ? le[k] : std::string("<missing>");
        const std::string& a = k < la.size() ? la[k] : std::string("<missing>");
        if (!linesAgree(e, a) && shown++ < 12)
            diff << "line " << k + 1 << "\n  expected: " << e << "\n  actual:   " << a << '\n';
    }
    if (le.size() != la.size())
        diff << "line count: expected " << le.size() << ", actual " << la.size() << '\n';
    return diff.str();
}

} // namespace kolmo::test
