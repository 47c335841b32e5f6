// The README files hold up in a fresh clone: every command they show runs as
// written, from the folder they say, and every repository path they name is
// there.  The clone is a copy of the files git would commit (tracked and new,
// not ignored), with `build/` standing for this build; the scripts that
// install packages are only checked to exist and to parse.
//
// Fault pinned down: examples/expected/README.md had its commands run from a
// folder a clone does not have, and examples/README.md named a CSV file that
// was not shipped.
#include "pipeline/pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `script` with bash (stopping at the first failing command or pipe) in
// `cwd`; the exit status, with the output kept for the message.
int shell(const std::string& script, const fs::path& cwd, std::string& output)
{
    const fs::path file = cwd / ".kolmo-doc-command.sh";
    // PROJ's user folder (where the README installs the model for QGIS)
    // beside the clone, not in the home of whoever runs the tests.
    std::ofstream(file) << "set -eo pipefail\nexport XDG_DATA_HOME=" << quoted((cwd.parent_path() / "xdg-data").string())
                        << "\n" << script << "\n";
    const fs::path log = fs::temp_directory_path() / ("kolmo_doc_" + std::to_string(::getpid()) + ".log");
    const std::string cmd = "cd " + quoted(cwd.string()) + " && bash " + quoted(file.string()) + " >" +
                            quoted(log.string()) + " 2>&1";
    const int rc = std::system(cmd.c_str());
    output = readText(log);
    fs::remove(log);
    fs::remove(file);
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// The files a clone would hold, copied into `to`.
void copyClone(const fs::path& to)
{
    std::string list;
    const fs::path listFile = to.parent_path() / ("kolmo_files_" + std::to_string(::getpid()));
    const std::string cmd = "git -C " + quoted(sourceDir().string()) +
                            " ls-files -z --cached --others --exclude-standard >" + quoted(listFile.string()) +
                            " 2>/dev/null";
    if (std::system(cmd.c_str()) == 0)
        list = readText(listFile);
    fs::remove(listFile);
    if (list.empty()) { // not a git checkout: everything but build folders
        for (const auto& e : fs::directory_iterator(sourceDir()))
            if (e.path().filename().string().rfind("build", 0) != 0 && e.path().filename() != ".git")
                fs::copy(e.path(), to / e.path().filename(), fs::copy_options::recursive);
        return;
    }
    std::istringstream in(list);
    for (std::string name; std::getline(in, name, '\0');) {
        const fs::path from = sourceDir() / name;
        if (!fs::is_regular_file(from))
            continue; // deleted in the working tree
        fs::create_directories((to / name).parent_path());
        // A file with a merge conflict is listed once per side.
        fs::copy_file(from, to / name, fs::copy_options::overwrite_existing);
        fs::permissions(to / name, fs::status(from).permissions());
    }
}

std::vector<fs::path> readmes(const fs::path& root)
{
    std::vector<fs::path> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory() && it->path().filename() == "build") {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && it->path().extension() == ".md")
            out.push_back(it->path());
    }
    // The top-level README first: later documents may use what it builds.
    std::sort(out.begin(), out.end(), [&](const fs::path& a, const fs::path& b) {
        const auto depth = [](const fs::path& p) { return std::distance(p.begin(), p.end()); };
        return std::pair(depth(a), a.string()) < std::pair(depth(b), b.string());
    });
    return out;
}

// The fenced code blocks of a Markdown text.
std::vector<std::string> codeBlocks(const std::string& text)
{
    std::vector<std::string> blocks;
    std::istringstream in(text);
    std::string line, block;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("```", 0) == 0) {
            if (inside)
                blocks.push_back(block);
            block.clear();
            inside = !inside;
        } else if (inside) {
            block += line + '\n';
        }
    }
    return blocks;
}

// Code spans that name a path in the repository: a slash in them, and a
// first part that is a folder of the repository or a step up.
std::vector<std::string> pathSpans(const std::string& text, const fs::path& here, const fs::path& root)
{
    std::vector<std::string> out;
    const std::regex span("`([A-Za-z0-9_./-]+)`");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), span); it != std::sregex_iterator(); ++it) {
        const std::string s = (*it)[1];
        if (s.find('/') == std::string::npos)
            continue;
        const std::string head = s.substr(0, s.find('/'));
        if (head == "build" || head.empty())
            continue; // what a build makes, not what a clone holds
        if (head == ".." || head == "." || fs::is_directory(here / head) || fs::is_directory(root / head))
            out.push_back(s);
    }
    return out;
}

} // namespace

TEST(Documents, CommandsRunAndPathsExistInAFreshClone)
{
    const fs::path top = freshFolder("clone");
    const fs::path root = top / "kolmo";
    fs::create_directories(root);
    copyClone(root);
    fs::create_directory_symlink(fs::path(KOLMO_BINARY_DIR), root / "build");
    const fs::path prefix = top / "prefix";
    ASSERT_TRUE(fs::exists(root / "README.md"));

    int blocksRun = 0, listedRun = 0, pathsChecked = 0;
    for (const fs::path& readme : readmes(root)) {
        const fs::path here = readme.parent_path();
        const std::string name = fs::relative(readme, root).string();
        SCOPED_TRACE(name);
        const std::string text = readText(readme);

        for (const std::string& s : pathSpans(text, here, root)) {
            EXPECT_TRUE(fs::exists(here / s) || fs::exists(root / s)) << "`" << s << "` is not in a clone";
            ++pathsChecked;
        }

        for (std::string block : codeBlocks(text)) {
            // The scripts that install packages: there, and sound shell.
            bool installs = false;
            for (const char* script : {"scripts/build-and-run.sh", "scripts/test.sh", "scripts/package.sh"})
                if (block.find(script) != std::string::npos) {
                    installs = true;
                    std::string output;
                    EXPECT_EQ(shell("bash -n " + std::string(script), root, output), 0) << script << output;
                }
            if (installs)
                continue;
            for (std::size_t at; (at = block.find("/opt/kolmo")) != std::string::npos;)
                block.replace(at, 10, prefix.string());
            std::string output;
            EXPECT_EQ(shell(block, root, output), 0) << "the block\n" << block << "gave\n" << output;
            ++blocksRun;
        }

        // "- `report.str`: `../build/kolmo-cli ...`": each from examples/ as
        // the documents say; done, or done with a warning of flagged points.
        const std::regex listed(R"(^- `([^`]+\.str)`: `(\.\./build/kolmo-cli [^`]+)`)");
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (!std::regex_search(line, m, listed))
                continue;
            std::string output;
            const int status = shell(m[2].str() + " >/dev/null", root / "examples", output);
            EXPECT_TRUE(status == 0 || status == 3) << m[2] << "\n" << output;
            EXPECT_TRUE(fs::exists(root / "examples" / m[1].str())) << m[1];
            ++listedRun;
        }
    }
    RecordProperty("blocks", blocksRun);
    RecordProperty("listed", listedRun);
    EXPECT_GE(blocksRun, 6);
    EXPECT_GE(listedRun, 40);
    EXPECT_GE(pathsChecked, 10);
    EXPECT_TRUE(fs::exists(prefix / "bin" / "kolmo-cli")) << "the install command of the README";
    EXPECT_TRUE(fs::exists(prefix / "share" / "kolmo" / "t7.par")) << "the install command of the README";
    fs::remove_all(top);
}
