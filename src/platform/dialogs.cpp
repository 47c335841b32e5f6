#include "platform/dialogs.h"

#include "platform/cause.h"

#include <iostream>
#include <new>

namespace kolmo::platform {
namespace {

class SilentDialogs : public Dialogs {
public:
    void errorBox(std::string_view, std::string_view, std::string_view) override {}
    void messageBox(std::string_view, std::string_view) override {}
    void setBusy(bool) override {}
    void console(std::string_view) override {}
};

SilentDialogs silent;
Dialogs* current = &silent;

} // namespace

void Dialogs::warning(std::string_view text, std::string_view details)
{
    std::string shown(text);
    if (!details.empty()) {
        shown += '\n';
        shown += details;
    }
    messageBox(shown, "Opozorilo");
}

Dialogs& dialogs() { return *current; }

Dialogs* setDialogs(Dialogs* d)
{
    Dialogs* previous = current;
    current = d ? d : &silent;
    return previous == &silent ? nullptr : previous;
}

std::string listForMessage(const std::vector<std::string>& items, std::size_t shown)
{
    std::string out;
    for (std::size_t k = 0; k < items.size() && k < shown; ++k) {
        if (k)
            out += ", ";
        out += items[k];
    }
    if (items.size() > shown) {
        const std::string more = std::to_string(items.size() - shown);
        out += causeLanguage() == Language::Slovene ? " in še " + more : " and " + more + " more";
    }
    return out;
}

void errorBoxFor(const std::exception& e, std::string_view message, std::string_view title, std::string_view context)
{
    std::string details(context);
    if (!details.empty())
        details += ": ";
    const Language language = causeLanguage();
    if (dynamic_cast<const std::bad_alloc*>(&e)) {
        details += language == Language::Slovene ? "premalo pomnilnika (" : "out of memory (";
        details += e.what();
        details += ")";
        dialogs().errorBox(kOutOfMemory, title, details);
        return;
    }
    details += causeText(e, language);
    dialogs().errorBox(message, title, details);
}

void RecordingDialogs::errorBox(std::string_view message, std::string_view title, std::string_view details)
{
    boxes.push_back({Box::Error, std::string(message), std::string(title), std::string(details)});
}

void RecordingDialogs::messageBox(std::string_view text, std::string_view title)
{
    boxes.push_back({Box::Message, std::string(text), std::string(title), {}});
}

void RecordingDialogs::warning(std::string_view text, std::string_view details)
{
    boxes.push_back({Box::Warning, std::string(text), "Opozorilo", std::string(details)});
}

void RecordingDialogs::setBusy(bool busy)
{
    busyDepth += busy ? 1 : -1;
    ++busyChanges;
}

void RecordingDialogs::console(std::string_view text) { consoleText += text; }

void StderrDialogs::errorBox(std::string_view message, std::string_view title, std::string_view details)
{
    ++errors;
    std::cerr << title << ": " << message << '\n';
    if (!details.empty())
        std::cerr << "  " << details << '\n';
}

void StderrDialogs::messageBox(std::string_view text, std::string_view title)
{
    if (!title.empty())
        std::cerr << title << ": ";
    std::cerr << text << '\n';
}

void StderrDialogs::warning(std::string_view text, std::string_view details)
{
    ++warnings;
    std::cerr << "Opozorilo: " << text << '\n';
    if (!details.empty())
        std::cerr << "  " << details << '\n';
}

void StderrDialogs::console(std::string_view text) { std::cerr << text; }

} // namespace kolmo::platform
