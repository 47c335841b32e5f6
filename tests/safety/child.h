// kolmo-cli started as a child process that the test can signal while it runs,
// with its standard output on a file of the test's choice (a pipe's end,
// /dev/full) and its standard error kept.
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kolmo::test {

struct Child {
    pid_t pid = -1;

    // `stdoutFd` < 0: the standard output goes to /dev/null.  The child's
    // standard error goes to `errFile`.
    static Child start(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::filesystem::path& cwd, int stdoutFd, const std::filesystem::path& errFile)
    {
        Child c;
        c.pid = ::fork();
        if (c.pid == 0) {
            if (::chdir(cwd.c_str()) != 0)
                ::_exit(127);
            const int out = stdoutFd >= 0 ? stdoutFd : ::open("/dev/null", O_WRONLY);
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int in = ::open("/dev/null", O_RDONLY);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            // The test runner may ignore some signals; the child starts as a shell would start it.
            for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
                ::signal(sig, SIG_DFL);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        return c;
    }

    // The raw wait status.
    int wait() const
    {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    }

};

// Polls until `ready` holds or `seconds` pass; whether it held.
template <class F>
bool waitFor(F ready, double seconds = 30)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (ready())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

} // namespace kolmo::test
