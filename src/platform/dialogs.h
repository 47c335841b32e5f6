// The dialog services the program needs from its window system: an error box,
// a message box and the busy pointer.  Both boxes return at once; they do not
// wait for the user.
//
// An error box has a fixed Slovene message and title; `details` may add what
// the program knows of the cause (the file, the line, the operating system's
// reason).  The desktop program puts it in the box's expandable details,
// kolmo-cli prints it on a second line, so the message itself stays as users
// know it.
//
// The computing core reports through the current service (`dialogs()`): the GUI
// installs one that shows real boxes, kolmo-cli one that prints
// "<title>: <message>" to stderr, and tests a RecordingDialogs that keeps every
// box for inspection.  Texts are UTF-8.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo::platform {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void errorBox(std::string_view message, std::string_view title, std::string_view details) = 0;
    void errorBox(std::string_view message, std::string_view title) { errorBox(message, title, {}); }
    virtual void messageBox(std::string_view text, std::string_view title) = 0;
    // A note that does not stop the action: its result is there, but part of
    // it deserves a look (heights outside the geoid model, rows completed with
    // 0, a file without heights).  Shown as a message box titled "Opozorilo"
    // unless the service has its own way; kolmo-cli prints "Opozorilo: <text>"
    // with the details on a second line and ends with exit status 3.
    virtual void warning(std::string_view text, std::string_view details);
    virtual void setBusy(bool busy) = 0;
    // Console output of the numerical runtime (warnings that are not errors).
    virtual void console(std::string_view text) = 0;
};

// The service in use; a silent one until another is installed.
Dialogs& dialogs();
// Installs `d` (not owned; nullptr restores the silent service).  Returns the previous one.
Dialogs* setDialogs(Dialogs* d);

// The error box of an action that caught `e`: `message` and `title`, with
// the cause `e` tells as the details, in the language of causes (after
// `context` and ": " when a context is given, such as "start file"; see
// platform/cause.h: kolmo-cli tells e.what(), the desktop program Slovene).  Running out of memory is told as such, whatever the
// action was doing: the box says "Premalo pomnilnika!" under the same title,
// for a file that could not be taken in is not a file in the wrong format.
void errorBoxFor(const std::exception& e, std::string_view message, std::string_view title,
                 std::string_view context = {});

// Items for a message's details: "a, b, c" or, beyond `shown` items, "a, b, c
// and 7 more" ("a, b, c in še 7" when the causes are told in Slovene).
std::string listForMessage(const std::vector<std::string>& items, std::size_t shown = 20);

// The text of the out-of-memory box.
inline constexpr std::string_view kOutOfMemory = "Premalo pomnilnika!";
// The box of an action whose output file is one of its input files.
inline constexpr std::string_view kOutputIsInput = "Izhodna datoteka je enaka vhodni!";

struct Box {
    enum Kind { Error, Message, Warning } kind;
    std::string text;
    std::string title;
    std::string details = {};
    // Boxes are the same when the user reads the same message and title; the
    // details are checked separately where they matter.
    bool operator==(const Box& o) const { return kind == o.kind && text == o.text && title == o.title; }
};

// Keeps every box shown, for tests.
class RecordingDialogs : public Dialogs {
public:
    using Dialogs::errorBox;
    void errorBox(std::string_view message, std::string_view title, std::string_view details) override;
    void messageBox(std::string_view text, std::string_view title) override;
    void warning(std::string_view text, std::string_view details) override;
    void setBusy(bool busy) override;
    void console(std::string_view text) override;

    std::vector<Box> boxes;
    std::string consoleText;
    int busyDepth = 0;     // >0 while busy
    int busyChanges = 0;
};

// Prints error boxes as "<title>: <message>", with the details on a second
// line, warnings as "Opozorilo: <text>" likewise, and message boxes as text on
// stderr; counts the errors and the warnings (kolmo-cli's exit status).
class StderrDialogs : public Dialogs {
public:
    using Dialogs::errorBox;
    void errorBox(std::string_view message, std::string_view title, std::string_view details) override;
    void messageBox(std::string_view text, std::string_view title) override;
    void warning(std::string_view text, std::string_view details) override;
    void setBusy(bool) override {}
    void console(std::string_view text) override;
    int errors = 0;
    int warnings = 0;
};

// Installs a service for the lifetime of the guard (tests, kolmo-cli).
class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs& d) : previous_(setDialogs(&d)) {}
    ~ScopedDialogs() { setDialogs(previous_); }
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;

private:
    Dialogs* previous_;
};

// Busy pointer for the length of an action, restored on every way out.
class BusyBracket {
public:
    BusyBracket() { dialogs().setBusy(true); }
    ~BusyBracket() { dialogs().setBusy(false); }
    BusyBracket(const BusyBracket&) = delete;
    BusyBracket& operator=(const BusyBracket&) = delete;
};

} // namespace kolmo::platform
