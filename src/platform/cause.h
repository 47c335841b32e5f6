// The cause of a failure, told in English or in Slovene.
//
// An error box shows what the program knows of the cause under its details.
// kolmo-cli and the logs tell it in English (what()); the desktop program
// tells it in Slovene.  So a cause that is to be told in both languages keeps
// what it needs for either:
//
//   SystemError   what the operating system refused: the action (open, read,
//                 write, replace, ...), the file and errno.  Each language has
//                 its phrases for the action and for the common reasons (no
//                 such file, no permission, read-only file system, disk full,
//                 file too large, ...), with the file's path between them.
//   Bilingual<E>  an error of kind E whose text the program wrote in both
//                 languages where it found the problem.
//
// causeText(e, language) renders any exception: these two in the language
// asked for, any other in its what() (a cause that has no Slovene words yet
// still names its problem).
#pragma once

#include "platform/errors.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kolmo::platform {

// The box of an action whose output file could not be written.
inline constexpr std::string_view kWriteFailed = "Napaka v zapisu datoteke!";

enum class Language { English, Slovene };

// The language of the causes in error boxes: English unless the program
// chooses otherwise at its start (the desktop program chooses Slovene).
Language causeLanguage();
void setCauseLanguage(Language language);

// An error that can tell its cause in Slovene too.
class Translated {
public:
    virtual ~Translated() = default;
    virtual std::string slovene() const = 0;

protected:
    Translated() = default;
    Translated(const Translated&) = default;
    Translated& operator=(const Translated&) = default;
};

template <class Kind>
class Bilingual : public Kind, public Translated {
public:
    Bilingual(const std::string& english, const std::string& slovene)
        : Kind(english), slovene_(std::make_shared<const std::string>(slovene))
    {
    }
    std::string slovene() const override { return *slovene_; }

private:
    std::shared_ptr<const std::string> slovene_; // shared: copying an exception does not throw
};

class SystemError : public FileError, public Translated {
public:
    enum class Action {
        Open,           // open a file for reading: "File not found. (<file>: <reason>)"
        Read,           // "<file>: read failed: <reason>"
        Create,         // the temporary file beside a target: "cannot create a file beside <file>: <reason>"
        OpenForWriting, // "cannot open <file>: <reason>"
        Write,          // "cannot write <file>: <reason>"
        Replace,        // "cannot replace <file>: <reason>"
        SetPermissions, // "cannot set the permissions of <file>: <reason>"
        Lock,           // "cannot lock <file>: <reason>"
        ReadLocked,     // "cannot read <file>: <reason>"
        Append,         // "cannot append to <file>: <reason>"
    };
    SystemError(Action action, const std::string& file, int error);

    Action action() const { return action_; }
    const std::string& file() const { return *file_; }
    int error() const { return error_; }
    // Whether a file was being written (its content may be missing or old).
    bool writing() const;
    std::string slovene() const override;
    std::string text(Language language) const;

private:
    Action action_;
    std::shared_ptr<const std::string> file_;
    int error_;
};

// The operating system's reason for errno `error` in the language.
std::string systemReason(int error, Language language);

// The cause `e` tells, in the language.
std::string causeText(const std::exception& e, Language language);

// Sets the cause language for the lifetime of the guard (tests).
class ScopedCauseLanguage {
public:
    explicit ScopedCauseLanguage(Language language) : previous_(causeLanguage()) { setCauseLanguage(language); }
    ~ScopedCauseLanguage() { setCauseLanguage(previous_); }
    ScopedCauseLanguage(const ScopedCauseLanguage&) = delete;
    ScopedCauseLanguage& operator=(const ScopedCauseLanguage&) = delete;

private:
    Language previous_;
};

} // namespace kolmo::platform
