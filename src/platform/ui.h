// The window model: Kolmo's windows, menus and controls as plain data, and the
// window services the controllers need (file dialogs, running a program).
//
// Every window of the program is a controller that builds its window here and
// afterwards reads and writes the properties of its controls; it never sees a
// toolkit.  A renderer (the Qt one in the desktop program's gui/qt, or none
// at all in the tests) draws the model and hands the user's events back: it stores what the user
// changed (the value of a list, a button or a box, the text of an edit field)
// into the model and then fires the control's action by name.
//
// Handles are positive integers, unique for the life of the model and never
// reused; windows, controls and menus share one range, so a window's control
// registry (`hndlList`) can hold menus as well as controls.  0 is "no handle".
//
// Positions are fractions of the window's inner area: left, bottom, width,
// height, with the origin at the bottom left.  Colours are RGB triples with
// components 0..1.  A value is the 1-based position in a pop-up list, or 0/1
// for a radio button or a check box.  Texts are UTF-8.
//
// An action is the text a control carries, in the form "handler('name')",
// "handler" or "close": firing it calls the handler registered under that name
// with the name as its argument ("handler" alone: with no argument), with the
// control's window as the current window; "close" closes the current window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kolmo::ui {

using Handle = int;
using Rgb = std::array<double, 3>;

struct Position {
    double left = 0, bottom = 0, width = 0, height = 0;
    bool operator==(const Position&) const = default;
};

enum class Kind {
    Frame,       // flat rectangle behind a group of controls
    Text,        // static label
    Edit,        // one-line edit field
    Popup,       // pop-up list (items, value)
    PushButton,
    RadioButton, // value 0/1; a click toggles it, the action keeps groups exclusive
    CheckBox,    // value 0/1
    TextView,    // read-only multi-line text in a fixed-pitch font, scrollable
    Graphic,     // a drawing (a plot) the renderer draws from `graphic`
    ProgressBar, // the share of a long work done, `fraction` 0..1
    Table,       // rows and columns asked of `table` as they come into view
};

// What a Graphic control shows (a plot's figure).  The model only keeps it;
// the layer that defines the concrete kind draws it, and a renderer may
// change it in place (a plot zoomed or turned by the user), so that what
// the controllers export is what the user sees.
class Graphic {
public:
    virtual ~Graphic() = default;
};

enum class Align { Left, Center, Right };

// The contents of a Table control, given cell by cell on request: a renderer
// asks only for the rows it shows, so a table of a million points costs the
// model no text at all.  `cell` is called on the GUI thread with row <
// rows and column < headers.size(); it returns UTF-8.
struct TableRows {
    std::vector<std::string> headers;
    std::size_t rows = 0;
    std::function<std::string(std::size_t row, std::size_t column)> cell;
    // Columns whose cells are numbers, aligned to the right.
    std::vector<bool> numeric = {};
};

inline constexpr Rgb kWhite{1, 1, 1};
// The toolkit's usual grey face, for controls given no colour.
inline constexpr Rgb kDefaultFace{0.94, 0.94, 0.94};

struct Control {
    Kind kind = Kind::Text;
    Position position = {};
    std::string text = {};          // caption, label or edit text
    std::vector<std::string> items = {}; // pop-up list entries
    int value = 0;
    bool enabled = true;
    bool visible = true;
    Rgb background = kDefaultFace;
    Rgb foreground{0, 0, 0};
    Align align = Align::Center;
    bool bold = false;
    bool monospace = false; // fixed-pitch font, for columns aligned with blanks
    std::string tooltip = {};
    std::string action = {};   // fired on click / choice / Enter
    std::string userData = {}; // free text the controller keeps with the control
    std::shared_ptr<Graphic> graphic = {};
    double fraction = 0;       // ProgressBar: share done, 0..1
    std::shared_ptr<const TableRows> table = {}; // Table: its rows
    // Fired when the user drops a file on the control (see Ui::dropFile);
    // empty: the drop goes to the control below it or to the window.
    std::string dropAction = {};
};

// A menu of a window's menu bar or an item of a menu.
struct Menu {
    std::string label = {};
    std::string action = {}; // empty for a menu that only opens its items
    bool separator = false;  // a line above the item
    bool enabled = true;
    std::vector<Handle> items = {};
};

struct Window {
    std::string title = {};
    std::string tag = {};          // "slk" for the secondary windows
    Rgb color = kDefaultFace;      // background
    bool visible = false;          // built hidden, shown when complete
    int width = 0, height = 0;     // preferred inner size in pixels; 0: the renderer's default
    std::vector<Handle> controls = {}; // creation order: later ones lie on top
    std::vector<Handle> menus = {};    // the menu bar, left to right
    std::vector<Handle> hndlList = {}; // the window's control registry (its user data)
    std::string dropAction = {};       // a file dropped where no control takes it; empty: refused
    // Runs once the window has closed, whichever way it was closed (its
    // close button, an action "close", its owner).
    std::function<void()> onClosed = {};
};

// A file chosen in a dialog: its name and its folder.
struct FileChoice {
    std::string name;
    std::filesystem::path folder;
    std::filesystem::path path() const { return folder / name; }
};

// Rows of (pattern, description), e.g. {"*.pod", "Podatki (*.pod)"}; a pattern
// may list several globs separated by ";".
using FilterTable = std::vector<std::pair<std::string, std::string>>;

// The action text split into its parts: handler and argument.  "close" has
// the handler "close"; "kolmo" alone has no argument.
struct ActionCall {
    std::string handler;
    std::optional<std::string> argument;
};
std::optional<ActionCall> parseAction(std::string_view action);

class Ui {
public:
    Ui() = default;
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;
    // Waits for the background works still running (see joinBackground()).
    virtual ~Ui();

    // --- the model --------------------------------------------------------
    Handle newWindow(Window w);
    Handle addControl(Handle window, Control c);
    // A menu of the window's menu bar (parent = window) or an item of a menu.
    Handle addMenu(Handle parent, Menu m);

    bool isWindow(Handle h) const { return windows_.count(h) != 0; }
    bool isControl(Handle h) const { return controls_.count(h) != 0; }
    bool isMenu(Handle h) const { return menus_.count(h) != 0; }
    bool exists(Handle h) const { return isWindow(h) || isControl(h) || isMenu(h); }

    // Throw std::out_of_range for a handle that is not (or no longer) one of
    // that kind.  Writing through the references changes the model; the
    // renderer picks the change up (see revision()).
    Window& window(Handle h);
    const Window& window(Handle h) const;
    Control& control(Handle h);
    const Control& control(Handle h) const;
    Menu& menu(Handle h);
    const Menu& menu(Handle h) const;

    // Entry k (from 1, as the windows number their slots) of the window's
    // registry; std::out_of_range when there is none.
    Handle registered(Handle win, int k) const;

    // The window a control or menu belongs to (a window is its own window).
    Handle windowOf(Handle h) const;
    // The open windows in the order they were made.
    std::vector<Handle> windows() const;
    // The first open window with this title, or 0.
    Handle findWindow(std::string_view title) const;

    // Closes a window: it and its controls and menus are gone.
    void close(Handle window);

    // The window of the control whose action runs (or the window a
    // controller builds); 0 when there is none.
    Handle current() const { return current_; }
    void setCurrent(Handle window) { current_ = window; }

    // Counts every change made through this class and every touch(); a
    // renderer compares it with the value it last drew.  Changes written
    // through the references above are covered by touch(), which fire()
    // calls after every action.
    std::uint64_t revision() const { return revision_; }
    void touch()
    {
        ++revision_;
        changed();
    }

    // --- actions ------------------------------------------------------------
    using ActionHandler = std::function<void(const std::optional<std::string>& argument)>;
    void registerHandler(const std::string& name, ActionHandler handler);
    // Runs an action text with `window` as the current window.  An unknown
    // handler does nothing.  Returns false when the text is no action.
    bool run(std::string_view action, Handle window);
    // Fires the action of a control or a menu item, as a click does.
    void fire(Handle h);

    // --- files dropped on a window ---------------------------------------
    // The control or window that takes a file dropped at (x, y), fractions of
    // the window's inner area with the origin at the bottom left: the topmost
    // visible control under the point with a drop action, else the window
    // when it has one; 0 when the window refuses drops there.
    Handle dropTarget(Handle window, double x, double y) const;
    // A file dropped at (x, y): its path is kept for the handler
    // (droppedFile()) and the target's drop action runs with the window as
    // the current window.  False when nothing took it.
    bool dropFile(Handle window, double x, double y, const std::filesystem::path& file);
    // The file of the drop whose action runs.
    const std::filesystem::path& droppedFile() const { return dropped_; }

    // --- work off the GUI thread --------------------------------------------
    // Runs `work` on a thread of its own and then `done` on the GUI thread
    // (the thread that owns the model).  `work` must not touch the model; it
    // hands results to the GUI thread through post() or through what `done`
    // reads.  An exception out of `work` is dropped (`done` still runs):
    // work catches what it means to report.
    virtual void runInBackground(std::function<void()> work, std::function<void()> done);
    // From any thread: `task` runs on the GUI thread soon, in the order
    // posted, and the model counts a change after it.
    void post(std::function<void()> task);
    // Runs the tasks posted so far (GUI thread); returns how many ran.
    // Renderers call it when woken (see wake()); tests call it directly.
    std::size_t runPosted();
    // Background works still running or not yet delivered.
    int backgroundRunning() const;
    // Waits for every background work and delivers what they posted
    // (GUI thread).
    void waitForBackground();

    // --- services -----------------------------------------------------------
    // File-open and file-save dialogs; nullopt when the user cancels.
    virtual std::optional<FileChoice> openFileDialog(const FilterTable& filters, const std::string& title) = 0;
    virtual std::optional<FileChoice> saveFileDialog(const FilterTable& filters, const std::string& title) = 0;
    // Starts `program` with `args`, each passed as one argument (no shell),
    // without waiting for it.  False when it cannot be started.
    virtual bool startProgram(const std::string& program, const std::vector<std::string>& args);
    // The print dialog for the drawing of a window's Graphic control, which
    // prints it on the chosen printer.  False when nothing was printed.
    virtual bool printGraphic(Handle window) = 0;

    // Hooks for the renderer: a window was made or closed.
    std::function<void(Handle)> onWindowOpened, onWindowClosed;

protected:
    // Called after every change counted by revision(); a renderer schedules
    // its redraw here rather than drawing a window half built.
    virtual void changed() {}
    // Called from any thread after a post(); a renderer schedules a
    // runPosted() on its GUI thread.
    virtual void wake() {}
    // Joins every background thread; a renderer calls it before it takes
    // down what wake() uses.
    void joinBackground();

private:
    Handle next_ = 1;
    Handle current_ = 0;
    std::uint64_t revision_ = 0;
    std::map<Handle, Window> windows_;
    std::map<Handle, Control> controls_;
    std::map<Handle, Menu> menus_;
    std::map<Handle, Handle> owner_; // control or menu -> window
    std::map<std::string, ActionHandler, std::less<>> handlers_;
    std::filesystem::path dropped_;

    mutable std::mutex postMutex_;
    std::vector<std::function<void()>> posted_;
    std::map<int, std::thread> threads_; // background works by id, joined when delivered
    int nextThread_ = 1;
    int running_ = 0; // works started and not yet delivered
};

// Starts a program without a shell: `args` reach it exactly as given.  The
// program is looked up on PATH when it has no slash.  False when it cannot be
// started (not found, not executable).
bool spawnDetached(const std::string& program, const std::vector<std::string>& args);

// The model with no screen, for tests: dialog answers come from queues the
// test fills (an empty queue answers "cancelled"), programs are recorded and
// started only when `startPrograms` is set.
class HeadlessUi : public Ui {
public:
    ~HeadlessUi() override { joinBackground(); }
    // How runInBackground runs its work: at once on the caller's thread with
    // `done` right after (Inline), kept until the test calls
    // runDeferredWork() (Deferred: the test acts in between, as a user would
    // while the work runs), or on a real thread (Threads; waitForBackground()
    // delivers).
    enum class Background { Inline, Deferred, Threads };
    Background background = Background::Inline;
    void runInBackground(std::function<void()> work, std::function<void()> done) override;
    // Runs the deferred works in order, then their posts and their `done`.
    void runDeferredWork();
    std::size_t deferredWork() const { return deferred_.size(); }

    std::optional<FileChoice> openFileDialog(const FilterTable& filters, const std::string& title) override;
    std::optional<FileChoice> saveFileDialog(const FilterTable& filters, const std::string& title) override;
    bool startProgram(const std::string& program, const std::vector<std::string>& args) override;
    bool printGraphic(Handle window) override;

    std::vector<std::optional<FileChoice>> openAnswers, saveAnswers; // taken from the front

    struct DialogCall {
        bool save;
        FilterTable filters;
        std::string title;
    };
    std::vector<DialogCall> dialogCalls;
    struct ProgramCall {
        std::string program;
        std::vector<std::string> args;
    };
    std::vector<ProgramCall> programCalls;
    bool startPrograms = false;
    std::vector<Handle> printed; // windows whose drawing was sent to print

private:
    std::vector<std::pair<std::function<void()>, std::function<void()>>> deferred_;
};

} // namespace kolmo::ui
