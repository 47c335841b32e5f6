#include "platform/ui.h"

#include "platform/dialogs.h"

#include <algorithm>
#include <cerrno>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace kolmo::ui {

std::optional<ActionCall> parseAction(std::string_view action)
{
    const auto isName = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        });
    };
    const auto open = action.find('(');
    if (open == std::string_view::npos)
        return isName(action) ? std::optional(ActionCall{std::string(action), std::nullopt}) : std::nullopt;
    const std::string_view name = action.substr(0, open);
    std::string_view rest = action.substr(open + 1);
    // Exactly one quoted argument: handler('argument').
    if (!isName(name) || rest.size() < 3 || rest.front() != '\'' || rest.substr(rest.size() - 2) != "')")
        return std::nullopt;
    const std::string_view argument = rest.substr(1, rest.size() - 3);
    if (argument.find('\'') != std::string_view::npos)
        return std::nullopt;
    return ActionCall{std::string(name), std::string(argument)};
}

Handle Ui::newWindow(Window w)
{
    const Handle h = next_++;
    windows_.emplace(h, std::move(w));
    touch();
    if (onWindowOpened)
        onWindowOpened(h);
    return h;
}

Handle Ui::addControl(Handle win, Control c)
{
    Window& w = window(win);
    const Handle h = next_++;
    controls_.emplace(h, std::move(c));
    owner_.emplace(h, win);
    w.controls.push_back(h);
    touch();
    return h;
}

Handle Ui::addMenu(Handle parent, Menu m)
{
    const Handle win = windowOf(parent);
    const Handle h = next_++;
    menus_.emplace(h, std::move(m));
    owner_.emplace(h, win);
    if (isWindow(parent))
        window(parent).menus.push_back(h);
    else
        menu(parent).items.push_back(h);
    touch();
    return h;
}

Window& Ui::window(Handle h) { return windows_.at(h); }
const Window& Ui::window(Handle h) const { return windows_.at(h); }
Control& Ui::control(Handle h) { return controls_.at(h); }
const Control& Ui::control(Handle h) const { return controls_.at(h); }
Menu& Ui::menu(Handle h) { return menus_.at(h); }
const Menu& Ui::menu(Handle h) const { return menus_.at(h); }

Handle Ui::registered(Handle win, int k) const
{
    return window(win).hndlList.at(static_cast<std::size_t>(k - 1));
}

Handle Ui::windowOf(Handle h) const
{
    if (isWindow(h))
        return h;
    const auto it = owner_.find(h);
    if (it == owner_.end())
        throw std::out_of_range("no such handle");
    return it->second;
}

std::vector<Handle> Ui::windows() const
{
    std::vector<Handle> out;
    for (const auto& [h, w] : windows_)
        out.push_back(h);
    return out;
}

Handle Ui::findWindow(std::string_view title) const
{
    for (const auto& [h, w] : windows_)
        if (w.title == title)
            return h;
    return 0;
}

void Ui::close(Handle win)
{
    if (!isWindow(win))
        return;
    const std::function<void()> closed = std::move(windows_.at(win).onClosed);
    for (auto it = owner_.begin(); it != owner_.end();) {
        if (it->second == win) {
            controls_.erase(it->first);
            menus_.erase(it->first);
            it = owner_.erase(it);
        } else {
            ++it;
        }
    }
    windows_.erase(win);
    if (current_ == win)
        current_ = 0;
    touch();
    if (closed)
        closed();
    if (onWindowClosed)
        onWindowClosed(win);
}

void Ui::registerHandler(const std::string& name, ActionHandler handler)
{
    handlers_[name] = std::move(handler);
}

bool Ui::run(std::string_view action, Handle win)
{
    const auto call = parseAction(action);
    if (!call)
        return false;
    current_ = win;
    if (call->handler == "close" && !call->argument) {
        close(win);
    } else if (const auto it = handlers_.find(call->handler); it != handlers_.end()) {
        // A copy: the handler may register or replace handlers while it runs.
        const ActionHandler handler = it->second;
        handler(call->argument);
    }
    touch();
    return true;
}

void Ui::fire(Handle h)
{
    std::string action;
    if (isControl(h))
        action = control(h).action;
    else if (isMenu(h))
        action = menu(h).action;
    if (!action.empty())
        run(action, windowOf(h));
}

Handle Ui::dropTarget(Handle win, double x, double y) const
{
    if (!isWindow(win))
        return 0;
    const Window& w = window(win);
    // Later controls lie on top: the first one found from the end that
    // takes drops.  Labels and fields over a frame let the drop through
    // to it.
    for (auto it = w.controls.rbegin(); it != w.controls.rend(); ++it) {
        const Control& c = control(*it);
        const Position& p = c.position;
        if (c.visible && !c.dropAction.empty() && x >= p.left && x <= p.left + p.width && y >= p.bottom &&
            y <= p.bottom + p.height)
            return *it;
    }
    return w.dropAction.empty() ? 0 : win;
}

bool Ui::dropFile(Handle win, double x, double y, const std::filesystem::path& file)
{
    const Handle target = dropTarget(win, x, y);
    if (target == 0)
        return false;
    const std::string action = isWindow(target) ? window(target).dropAction : control(target).dropAction;
    dropped_ = file;
    const bool ran = run(action, win);
    dropped_.clear();
    return ran;
}

Ui::~Ui() { joinBackground(); }

void Ui::runInBackground(std::function<void()> work, std::function<void()> done)
{
    std::lock_guard lock(postMutex_);
    const int id = nextThread_++;
    ++running_;
    threads_.emplace(id, std::thread([this, id, work = std::move(work), done = std::move(done)]() mutable {
        try {
            work();
        } catch (...) {
            // Nothing to report to: the work keeps what it means to say.
        }
        post([this, id, done = std::move(done)] {
            std::thread finished;
            {
                std::lock_guard guard(postMutex_);
                if (const auto it = threads_.find(id); it != threads_.end()) {
                    finished = std::move(it->second);
                    threads_.erase(it);
                }
                --running_;
            }
            // The thread has nothing left to do but return.
            if (finished.joinable())
                finished.join();
            if (done)
                done();
        });
    }));
}

void Ui::post(std::function<void()> task)
{
    {
        std::lock_guard lock(postMutex_);
        posted_.push_back(std::move(task));
    }
    wake();
}

std::size_t Ui::runPosted()
{
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard lock(postMutex_);
        tasks.swap(posted_);
    }
    for (auto& task : tasks) {
        try {
            task();
        } catch (const std::exception& e) {
            // As an action that lets an exception out: a box, never a lost program.
            platform::dialogs().errorBox("Nepričakovana napaka!", "Napaka", e.what());
        }
    }
    if (!tasks.empty())
        touch();
    return tasks.size();
}

int Ui::backgroundRunning() const
{
    std::lock_guard lock(postMutex_);
    return running_;
}

void Ui::waitForBackground()
{
    // Each delivery joins its thread; a work may start another from its
    // `done`, hence the loop.
    while (backgroundRunning() > 0) {
        std::vector<std::thread> waiting;
        {
            std::lock_guard lock(postMutex_);
            for (auto& [id, t] : threads_)
                if (t.joinable())
                    waiting.emplace_back(std::move(t));
        }
        for (std::thread& t : waiting)
            t.join();
        runPosted();
    }
    runPosted();
}

void Ui::joinBackground()
{
    std::vector<std::thread> all;
    {
        std::lock_guard lock(postMutex_);
        for (auto& [id, t] : threads_)
            if (t.joinable())
                all.emplace_back(std::move(t));
    }
    for (std::thread& t : all)
        t.join();
}

bool Ui::startProgram(const std::string& program, const std::vector<std::string>& args)
{
    return spawnDetached(program, args);
}

bool spawnDetached(const std::string& program, const std::vector<std::string>& args)
{
    if (program.empty())
        return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // posix_spawnp reports a program that cannot be executed through its
    // result.  The child is reaped by a thread of its own, so it never stays
    // a zombie and nobody waits for the user to close it.
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

std::optional<FileChoice> HeadlessUi::openFileDialog(const FilterTable& filters, const std::string& title)
{
    dialogCalls.push_back({false, filters, title});
    if (openAnswers.empty())
        return std::nullopt;
    auto answer = openAnswers.front();
    openAnswers.erase(openAnswers.begin());
    return answer;
}

std::optional<FileChoice> HeadlessUi::saveFileDialog(const FilterTable& filters, const std::string& title)
{
    dialogCalls.push_back({true, filters, title});
    if (saveAnswers.empty())
        return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.erase(saveAnswers.begin());
    return answer;
}

bool HeadlessUi::startProgram(const std::string& program, const std::vector<std::string>& args)
{
    programCalls.push_back({program, args});
    return startPrograms ? Ui::startProgram(program, args) : true;
}

void HeadlessUi::runInBackground(std::function<void()> work, std::function<void()> done)
{
    switch (background) {
    case Background::Threads:
        Ui::runInBackground(std::move(work), std::move(done));
        return;
    case Background::Deferred:
        deferred_.emplace_back(std::move(work), std::move(done));
        return;
    case Background::Inline:
        break;
    }
    try {
        work();
    } catch (...) {
    }
    runPosted();
    if (done)
        done();
    touch();
}

void HeadlessUi::runDeferredWork()
{
    auto works = std::move(deferred_);
    deferred_.clear();
    const Background mode = background;
    background = Background::Inline;
    for (auto& [work, done] : works)
        runInBackground(std::move(work), std::move(done));
    background = mode;
}

bool HeadlessUi::printGraphic(Handle window)
{
    printed.push_back(window);
    return true;
}

} // namespace kolmo::ui
