#include "qt/translation.h"

#include "platform/cause.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <iostream>

namespace kolmo::qt {
namespace {

// Qt's Slovene catalogue.  Qt 5 moved the texts of the standard buttons
// ("Cancel", "&Yes", "OK") from QDialogButtonBox to QPlatformTheme, and
// Debian's qt_sl.qm still has them under the old name only, so the file
// dialogs and the overwrite question kept an English "Cancel", "Yes", "No";
// they are looked up under the old name when the new one has none.
class SloveneQt : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override
    {
        QString text = QTranslator::translate(context, source, disambiguation, n);
        if (text.isEmpty() && qstrcmp(context, "QPlatformTheme") == 0)
            text = QTranslator::translate("QDialogButtonBox", source, disambiguation, n);
        return text;
    }
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
    auto* translator = new SloveneQt(&app);
    if (!translator->load(QLatin1String(kQtSloveneCatalogue), qtTranslationsFolder()) ||
        !QCoreApplication::installTranslator(translator)) {
        std::cerr << "kolmo: Qt's Slovene translation (" << kQtSloveneCatalogue << ".qm in "
                  << qtTranslationsFolder().toStdString() << ") is missing; Qt's own texts stay English\n";
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace kolmo::qt
