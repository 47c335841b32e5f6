// The operating system's refusals told in English (kolmo-cli, unchanged) and
// in Slovene (the desktop program), with the file between the action and the
// reason.  Fault pinned down: the desktop's error boxes showed "cannot create
// a file beside ...: Read-only file system" under their Slovene message.
#include "platform/cause.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/textread.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <system_error>

namespace fs = std::filesystem;
using namespace kolmo;
using platform::Language;
using platform::SystemError;

namespace {

struct Causes : ::testing::Test {
    fs::path dir = test::freshFolder("causes");
    void TearDown() override { fs::remove_all(dir); }

    // The details of the error box `action` shows, in `language`.
    static std::string details(const std::function<void()>& action, Language language)
    {
        platform::RecordingDialogs boxes;
        const platform::ScopedDialogs scoped(boxes);
        const platform::ScopedCauseLanguage chosen(language);
        try {
            action();
        } catch (const std::exception& e) {
            platform::errorBoxFor(e, "Napaka v zapisu datoteke!", "Napaka");
        }
        return boxes.boxes.empty() ? "<no box>" : boxes.boxes.back().details;
    }
};

// Failures provoked for real: each names the file and its reason.
TEST_F(Causes, RefusalsOfTheSystemInBothLanguages)
{
    std::ofstream(dir / "plain") << "x";
    fs::create_directory(dir / "folder");
    const std::string plain = (dir / "plain" / "r.str").string(), folder = (dir / "folder").string(),
                      missing = (dir / "missing.pod").string();
    struct Case {
        std::function<void()> action;
        std::string english, slovene;
    };
    const std::vector<Case> cases{
        {[&] { platform::writeFileAtomic(plain, "r"); },
         "cannot write " + plain + ": Not a directory",
         "datoteke " + plain + " ni mogoče zapisati: del poti ni mapa"},
        {[&] { platform::writeFileAtomic(folder, "r"); },
         "cannot write " + folder + ": Is a directory",
         "datoteke " + folder + " ni mogoče zapisati: to je mapa, ne datoteka"},
        {[&] { platform::LineReader r(missing); },
         "File not found. (" + missing + ": No such file or directory)",
         "datoteke " + missing + " ni mogoče odpreti: datoteka ali mapa ne obstaja"},
        // A device is no output file.
        {[&] { platform::FileWriter full("/dev/full"); },
         "cannot write /dev/full: a device, not a file (results go to files; - writes the standard output)",
         "datoteke /dev/full ni mogoče zapisati: to je naprava, ne datoteka"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(details(c.action, Language::English), c.english);
        EXPECT_EQ(details(c.action, Language::Slovene), c.slovene);
    }
}

// The common reasons have Slovene words of their own; an unusual one keeps
// the system's words beside its number.
TEST_F(Causes, CommonReasonsAreSlovene)
{
    for (const int err : {ENOENT, EACCES, EPERM, EROFS, ENOSPC, EDQUOT, EFBIG, EISDIR, ENOTDIR, ENAMETOOLONG, EIO}) {
        const std::string sl = platform::systemReason(err, Language::Slovene);
        EXPECT_EQ(sl.find("sistemska napaka"), std::string::npos) << err;
        EXPECT_NE(sl, platform::systemReason(err, Language::English)) << err;
    }
    EXPECT_EQ(platform::systemReason(EDOM, Language::Slovene),
              "sistemska napaka " + std::to_string(EDOM) + " (" + std::generic_category().message(EDOM) + ")");

    const SystemError e(SystemError::Action::Create, "/mnt/ro/r.str", EROFS);
    EXPECT_STREQ(e.what(), "cannot create a file beside /mnt/ro/r.str: Read-only file system");
    EXPECT_EQ(e.slovene(), "datoteke /mnt/ro/r.str ni mogoče zapisati: datotečni sistem je samo za branje");
    EXPECT_TRUE(e.writing());
    EXPECT_FALSE(SystemError(SystemError::Action::Open, "a", ENOENT).writing());
    // A cause without Slovene words is still shown, as it stands.
    EXPECT_EQ(platform::causeText(std::runtime_error("x"), Language::Slovene), "x");
    EXPECT_EQ(platform::causeText(fs::filesystem_error("f", "/a/b", std::make_error_code(std::errc::permission_denied)),
                                  Language::Slovene),
              "/a/b: ni dovoljenja za dostop");
}

} // namespace
