#include "platform/cause.h"

#include <atomic>
#include <cerrno>
#include <system_error>

namespace kolmo::platform {
namespace {

std::atomic<Language> current{Language::English};

// "<before><file><after><reason>" in each language.
struct Phrase {
    const char* before;
    const char* after;
};

Phrase phrase(SystemError::Action action, Language language)
{
    using A = SystemError::Action;
    if (language == Language::English) {
        switch (action) {
        case A::Open: return {"File not found. (", ": "};
        case A::Read: return {"", ": read failed: "};
        case A::Create: return {"cannot create a file beside ", ": "};
        case A::OpenForWriting: return {"cannot open ", ": "};
        case A::Write: return {"cannot write ", ": "};
        case A::Replace: return {"cannot replace ", ": "};
        case A::SetPermissions: return {"cannot set the permissions of ", ": "};
        case A::Lock: return {"cannot lock ", ": "};
        case A::ReadLocked: return {"cannot read ", ": "};
        case A::Append: return {"cannot append to ", ": "};
        }
    }
    switch (action) {
    case A::Open: return {"datoteke ", " ni mogoče odpreti: "};
    case A::Read:
    case A::ReadLocked: return {"datoteke ", " ni mogoče prebrati: "};
    case A::Create: // the new content's file beside the target: to the user, the target is not written
    case A::Write: return {"datoteke ", " ni mogoče zapisati: "};
    case A::OpenForWriting: return {"datoteke ", " ni mogoče odpreti za pisanje: "};
    case A::Replace: return {"datoteke ", " ni mogoče zamenjati z novo: "};
    case A::SetPermissions: return {"datoteki ", " ni mogoče nastaviti dovoljenj: "};
    case A::Lock: return {"datoteke ", " ni mogoče zakleniti: "};
    case A::Append: return {"v datoteko ", " ni mogoče dopisati: "};
    }
    return {"", ": "};
}

std::string render(SystemError::Action action, const std::string& file, int error, Language language)
{
    const std::string reason = systemReason(error, language);
    if (action == SystemError::Action::Read && file.empty())
        return (language == Language::English ? "read failed: " : "branje ni uspelo: ") + reason;
    const Phrase p = phrase(action, language);
    std::string s = p.before + file + p.after + reason;
    if (action == SystemError::Action::Open && language == Language::English)
        s += ')';
    return s;
}

} // namespace

Language causeLanguage() { return current.load(); }

void setCauseLanguage(Language language) { current.store(language); }

std::string systemReason(int error, Language language)
{
    const std::string english = std::generic_category().message(error);
    if (language == Language::English)
        return english;
    switch (error) {
    case ENOENT: return "datoteka ali mapa ne obstaja";
    case EACCES: return "ni dovoljenja za dostop";
    case EPERM: return "dejanje ni dovoljeno";
    case EROFS: return "datotečni sistem je samo za branje";
    case ENOSPC: return "na disku ni več prostora";
    case EDQUOT: return "dodeljeni prostor na disku je porabljen";
    case EFBIG: return "datoteka je prevelika";
    case EISDIR: return "to je mapa, ne datoteka";
    case ENOTDIR: return "del poti ni mapa";
    case ENAMETOOLONG: return "ime je predolgo";
    case EEXIST: return "datoteka že obstaja";
    case ELOOP: return "preveč zaporednih simbolnih povezav";
    case EIO: return "napaka naprave pri branju ali pisanju";
    case EMFILE:
    case ENFILE: return "odprtih je preveč datotek";
    case ENOMEM: return "premalo pomnilnika";
    case EBUSY: return "naprava ali datoteka je zasedena";
    case ETXTBSY: return "datoteka je v uporabi";
    case EINVAL: return "to ni navadna datoteka ali neveljavna zahteva";
    case EXDEV: return "datoteke ni mogoče premakniti na drug datotečni sistem";
    case ENXIO:
    case ENODEV: return "naprava ne obstaja";
    case EPIPE: return "program na drugi strani cevi je ne bere več";
    case EAGAIN: return "vir trenutno ni na voljo";
    case ENOLCK: return "ni prostih zaklepov";
    case ESTALE: return "omrežna datoteka ni več veljavna";
    default: return "sistemska napaka " + std::to_string(error) + " (" + english + ")";
    }
}

SystemError::SystemError(Action action, const std::string& file, int error)
    : FileError(render(action, file, error, Language::English)),
      action_(action), file_(std::make_shared<const std::string>(file)), error_(error)
{
}

bool SystemError::writing() const
{
    switch (action_) {
    case Action::Create:
    case Action::OpenForWriting:
    case Action::Write:
    case Action::Replace:
    case Action::SetPermissions:
    case Action::Append: return true;
    default: return false;
    }
}

std::string SystemError::text(Language language) const
{
    return language == Language::English ? std::string(what()) : render(action_, *file_, error_, language);
}

std::string SystemError::slovene() const { return text(Language::Slovene); }

std::string causeText(const std::exception& e, Language language)
{
    if (language == Language::Slovene) {
        if (const auto* t = dynamic_cast<const Translated*>(&e))
            return t->slovene();
        if (const auto* f = dynamic_cast<const std::filesystem::filesystem_error*>(&e)) {
            std::string s;
            if (!f->path1().empty())
                s = f->path1().string() + ": ";
            return s + systemReason(f->code().value(), language);
        }
    }
    return e.what();
}

} // namespace kolmo::platform
