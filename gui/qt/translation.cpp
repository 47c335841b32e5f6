#include "qt/translation.h"

#include "platform/cause.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <iostream>

namespace kolmo::qt {
namespace {

// Qt 5 moved the texts of the standard buttons ("Cancel", "&Yes", "OK")
// from QDialogButtonBox to QPlatformTheme, and Debian's qt_sl.qm still has
// them under the old name only, so the file dialogs and the overwrite
// question kept an English "Cancel", "Yes", "No".  This translator answers
// for the new name from the old one.
class StandardButtons : public QTranslator {
public:
    StandardButtons(const QTranslator& slovene, QObject* parent) : QTranslator(parent), slovene_(slovene) {}

    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override
    {
        if (qstrcmp(context, "QPlatformTheme") != 0)
            return {};
        return slovene_.translate("QDialogButtonBox", source, disambiguation, n);
    }
    bool isEmpty() const override { return false; }

private:
    const QTranslator& slovene_;
};

} // namespace

QString qtTranslationsFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

QTranslator* installSlovene(QCoreApplication& app)
{
    platform::setCauseLanguage(platform::Language::Slovene);
    // Qt's texts from the system (the file types and dates in the file
    // dialogs) follow the default locale.  Kolmo's own numbers never do: it
    // formats and reads them itself.
    QLocale::setDefault(QLocale(QLocale::Slovenian, QLocale::Slovenia));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLatin1String(kQtSloveneCatalogue), qtTranslationsFolder()) ||
        !QCoreApplication::installTranslator(translator)) {
        std::cerr << "kolmo: Qt's Slovene translation (" << kQtSloveneCatalogue << ".qm in "
                  << qtTranslationsFolder().toStdString() << ") is missing; Qt's own texts stay English\n";
        delete translator;
        return nullptr;
    }
    // A child of the translator: it goes when the translator goes.
    QCoreApplication::installTranslator(new StandardButtons(*translator, translator));
    return translator;
}

} // namespace kolmo::qt
