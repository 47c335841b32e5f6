// Where the programs find their data files (platform/datadir.h): data/ beside
// the executable in a build or a program folder, <prefix>/share/kolmo in an
// installed tree, and there the user's own folder over it, so that saving a
// parameter set never needs to write into the read-only shared folder.
//
// Fault pinned down: installed under /usr, kolmo-cli looked for /usr/bin/data
// and found no data at all, and a saved parameter set would have had to be
// appended to a file that belongs to the package.
#include "platform/datadir.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace kolmo;

namespace {

void writeText(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(DataDir, ShippedDataBesideTheProgramOrInTheInstalledTree)
{
    const fs::path top = test::freshFolder("datadir_layouts");
    // An installed tree: bin/ and share/kolmo/.
    fs::create_directories(top / "usr" / "bin");
    fs::create_directories(top / "usr" / "share" / "kolmo");
    EXPECT_EQ(platform::findShippedData(top / "usr" / "bin"), top / "usr" / "share" / "kolmo");
    EXPECT_TRUE(platform::isInstalledData(platform::findShippedData(top / "usr" / "bin")));
    // A program folder: data/ beside the programs wins, also inside a prefix.
    fs::create_directories(top / "usr" / "bin" / "data");
    EXPECT_EQ(platform::findShippedData(top / "usr" / "bin"), top / "usr" / "bin" / "data");
    EXPECT_FALSE(platform::isInstalledData(top / "usr" / "bin" / "data"));
    // Neither.
    fs::create_directories(top / "elsewhere");
    EXPECT_EQ(platform::findShippedData(top / "elsewhere"), fs::path());
    EXPECT_EQ(platform::findShippedData(fs::path()), fs::path());
    // This build's programs read build/data.
    EXPECT_EQ(platform::findShippedData(KOLMO_BINARY_DIR), test::dataDir());
    fs::remove_all(top);
}

TEST(DataDir, UserFolderFollowsXdgThenHome)
{
    {
        const ScopedEnv xdg("XDG_DATA_HOME", "/x/data"), home("HOME", "/home/geodet");
        EXPECT_EQ(platform::userDataFolder(), fs::path("/x/data/kolmo"));
    }
    {   // A relative XDG_DATA_HOME is to be ignored, by the XDG rules.
        const ScopedEnv xdg("XDG_DATA_HOME", "rel"), home("HOME", "/home/geodet");
        EXPECT_EQ(platform::userDataFolder(), fs::path("/home/geodet/.local/share/kolmo"));
    }
    {
        const ScopedEnv xdg("XDG_DATA_HOME", std::nullopt), home("HOME", std::nullopt);
        EXPECT_EQ(platform::userDataFolder(), fs::path());
    }
}

TEST(DataDir, UserFolderCopiesTheDatabaseAndLinksTheModels)
{
    const fs::path top = test::freshFolder("datadir_user");
    const fs::path shipped = top / "share" / "kolmo", user = top / "home" / "kolmo";
    writeText(shipped / "t7.par", "\n2,Shipped,1,2,3,4,5,6,7");
    writeText(shipped / "geoid.mat", "model");
    writeText(shipped / "meja_rs.mat", "border");

    ASSERT_EQ(platform::prepareUserFolder(shipped, user), user);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(user / "t7.par"))) << "the database is the user's own copy";
    EXPECT_EQ(test::readText(user / "t7.par"), test::readText(shipped / "t7.par"));
    for (const char* model : {"geoid.mat", "meja_rs.mat"}) {
        EXPECT_TRUE(fs::is_symlink(user / model)) << model;
        EXPECT_EQ(test::readText(user / model), test::readText(shipped / model)) << model;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(user), fs::directory_iterator()), 3) << "no temporary left";

    // Later runs keep what the user saved, bring back what went missing and
    // mend a link whose target was replaced by a new package's file.
    writeText(user / "t7.par", "\n2,Shipped,1,2,3,4,5,6,7\n2,Mine,1,2,3,4,5,6,7");
    fs::remove(user / "geoid.mat");
    fs::remove(user / "meja_rs.mat");
    fs::create_symlink(top / "gone" / "meja_rs.mat", user / "meja_rs.mat");
    writeText(shipped / "t4.par", "\n2,Plane,1,2,3,4");
    ASSERT_EQ(platform::prepareUserFolder(shipped, user), user);
    EXPECT_NE(test::readText(user / "t7.par").find("Mine"), std::string::npos);
    EXPECT_EQ(test::readText(user / "geoid.mat"), "model");
    EXPECT_EQ(test::readText(user / "meja_rs.mat"), "border");
    EXPECT_EQ(test::readText(user / "t4.par"), "\n2,Plane,1,2,3,4");

    // A folder that cannot be made: the shared one, which still reads.
    writeText(top / "file", "x");
    EXPECT_EQ(platform::prepareUserFolder(shipped, top / "file" / "kolmo"), shipped);
    EXPECT_EQ(platform::prepareUserFolder(shipped, fs::path()), shipped);
    if (::geteuid() != 0) {  // root writes anywhere
        fs::create_directories(top / "locked");
        fs::permissions(top / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(platform::prepareUserFolder(shipped, top / "locked" / "kolmo"), shipped);
        fs::permissions(top / "locked", fs::perms::owner_all);
    }
    fs::remove_all(top);
}

// kolmo-cli copied into an installed tree reads the shipped data and saves a
// set into the user's folder, leaving the shared database as it was.
TEST(DataDir, InstalledKolmoCliSavesIntoTheUsersFolder)
{
    const fs::path top = test::freshFolder("datadir_installed");
    const fs::path bin = top / "usr" / "bin", share = top / "usr" / "share" / "kolmo", home = top / "home";
    fs::create_directories(bin);
    fs::create_directories(home);
    fs::create_directories(share.parent_path());
    fs::copy_file(test::cliPath(), bin / "kolmo-cli");
    fs::copy(test::dataDir(), share, fs::copy_options::recursive);
    const std::string shipped = test::readText(share / "t7.par");
    test::RunOptions env;
    env.environment = {"HOME=" + home.string(), "XDG_DATA_HOME="};

    const auto geoid = test::run(bin / "kolmo-cli", {"geoid", "46.05", "14.5"}, top, env);
    EXPECT_EQ(geoid.status, 0) << geoid.err;
    EXPECT_NE(geoid.out.find("46.4"), std::string::npos) << geoid.out;  // N(SVS2010) at Ljubljana, 46.479 m

    const auto add = test::run(bin / "kolmo-cli",
                               {"params", "add", "--npar", "7", "--direction", "2", "--name", "Moj niz", "1", "2", "3",
                                "0.1", "0.2", "0.3", "4"},
                               top, env);
    EXPECT_EQ(add.status, 0) << add.err;
    const fs::path mine = home / ".local" / "share" / "kolmo" / "t7.par";
    EXPECT_NE(test::readText(mine).find("Moj niz"), std::string::npos);
    EXPECT_EQ(test::readText(share / "t7.par"), shipped) << "the shared database is never written";
    const auto list = test::run(bin / "kolmo-cli", {"params", "list", "--npar", "7", "--direction", "2"}, top, env);
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("Moj niz"), std::string::npos);
    EXPECT_NE(list.out.find("EPSG 8689"), std::string::npos);
    fs::remove_all(top);
}
