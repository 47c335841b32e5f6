// Qt's own texts in Slovene: the translation is found and loaded, and a file
// dialog, the overwrite question and a message box's details button no
// longer speak English.  Fault pinned down: every file dialog showed "Look
// in", "File name", "Files of type", "Cancel" in a Slovene program.
#include "platform/cause.h"
#include "qt/translation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

using kolmo::platform::Language;

// Every text a user reads in the widget: labels, buttons and their tooltips.
QStringList textsOf(const QWidget& w)
{
    QStringList out;
    for (const QLabel* l : w.findChildren<QLabel*>())
        out << l->text();
    for (const QAbstractButton* b : w.findChildren<QAbstractButton*>())
        out << b->text() << b->toolTip();
    out.removeAll(QString());
    return out;
}

QStringList fileDialogTexts()
{
    QFileDialog dialog(nullptr, QStringLiteral("Shrani kot"), QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return textsOf(dialog);
}

class Translation : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (translator_) {
            QCoreApplication::removeTranslator(translator_);
            delete translator_;
        }
        QLocale::setDefault(locale_);
    }
    QLocale locale_;
    QTranslator* translator_ = nullptr;
    kolmo::platform::ScopedCauseLanguage keep_{kolmo::platform::causeLanguage()};
};

TEST_F(Translation, QtTextsOfTheDialogsAreSlovene)
{
    const QStringList english = fileDialogTexts();
    // The words users reported; they are there before the translation.
    const QStringList reported{QStringLiteral("Look in:"), QStringLiteral("File &name:"),
                               QStringLiteral("Files of type:"), QStringLiteral("Cancel"),
                               QStringLiteral("Detail View")};
    for (const QString& word : reported)
        ASSERT_TRUE(english.contains(word)) << word.toStdString() << " not in " << english.join('|').toStdString();

    translator_ = kolmo::qt::installSlovene(*qApp);
    ASSERT_NE(translator_, nullptr) << "qt_sl.qm not in " << kolmo::qt::qtTranslationsFolder().toStdString();
    EXPECT_EQ(kolmo::platform::causeLanguage(), Language::Slovene);

    const QStringList slovene = fileDialogTexts();
    ASSERT_EQ(slovene.size(), english.size());
    for (const QString& word : reported)
        EXPECT_FALSE(slovene.contains(word)) << word.toStdString() << " in " << slovene.join('|').toStdString();
    EXPECT_TRUE(slovene.contains(QStringLiteral("Ime &datoteke:"))) << slovene.join('|').toStdString();
    EXPECT_TRUE(slovene.contains(QStringLiteral("Prekliči"))) << slovene.join('|').toStdString();

    // The overwrite question with its buttons, and the details button of an
    // error box.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?"),
              QStringLiteral("%1 že obstaja.\nAli jo želite nadomestiti?"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Da"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("&Ne"));
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Napaka"), QStringLiteral("Napaka v zapisu datoteke!"));
    box.setDetailedText(QStringLiteral("datoteke /x ni mogoče zapisati: datotečni sistem je samo za branje"));
    const QStringList boxTexts = textsOf(box);
    EXPECT_FALSE(boxTexts.contains(QStringLiteral("Show Details..."))) << boxTexts.join('|').toStdString();
    EXPECT_TRUE(boxTexts.contains(QStringLiteral("Prikaži podrobnosti ..."))) << boxTexts.join('|').toStdString();
}

} // namespace
