// Qt's own texts in Slovene.
//
// The program's texts are Slovene; the texts Qt itself adds (the file
// dialogs' "Look in", "File name", "Cancel", the overwrite question, a message
// box's "Show Details...") come from Qt's Slovene translation, qt_sl.qm of
// Debian's qt6-translations-l10n, in Qt's translations folder.  It is loaded
// at start whatever the locale, for the program speaks Slovene to everyone.
// The causes shown under an error box's details are Slovene as well
// (platform/cause.h).
#pragma once

#include <QString>

class QCoreApplication;
class QTranslator;

namespace kolmo::qt {

// The folder and the file of Qt's Slovene translation.
QString qtTranslationsFolder();
inline constexpr const char* kQtSloveneCatalogue = "qt_sl";

// Installs Qt's Slovene translation into `app`, makes Slovenian the default
// locale of Qt and chooses Slovene causes.
// Returns the translator, owned by `app`; nullptr, with a line on stderr,
// when the translation is not there (Qt's texts then stay English).
QTranslator* installSlovene(QCoreApplication& app);

} // namespace kolmo::qt
