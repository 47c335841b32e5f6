// Qt's own texts in Slovene: the translation is found and loaded, and a file
// dialog, the overwrite question and a message box's details button no
// longer speak English.  Fault pinned down: every file dialog showed "Look
// in", "File name", "Files of type", "Cancel" in a Slovene program.
#include "platform/cause.h"
#include "qt/qt_dialogs.h"
#include "qt/translation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
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

// The detail view of a file dialog in the program's locale.  Fault pinned
// down: in a session without a Slovene locale the dialog showed "802 bytes",
// "8 Dec 2026", "Folder", and a point file as "Skriptna datoteka Perl".
TEST_F(Translation, FileDialogColumnsFollowTheProgramsLocale)
{
    translator_ = kolmo::qt::installSlovene(*qApp);
    ASSERT_EQ(QLocale().language(), QLocale::Slovenian);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("mapa")));
    QFile pod(dir.filePath(QStringLiteral("tocke.pod")));
    ASSERT_TRUE(pod.open(QIODevice::WriteOnly));
    pod.write(QByteArray(802, 'x'));
    pod.close();

    QFileDialog dialog(nullptr, QStringLiteral("Podatki"), dir.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setViewMode(QFileDialog::Detail);
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    kolmo::qt::fitFileDialog(dialog);
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(tree, nullptr);
    for (int k = 1; k < 4; ++k)
        EXPECT_NE(tree->itemDelegateForColumn(k), nullptr) << k;
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    const QModelIndex podName = model->index(dir.filePath(QStringLiteral("tocke.pod")));
    const QModelIndex folderName = model->index(dir.filePath(QStringLiteral("mapa")));
    if (!podName.isValid() || !folderName.isValid())
        loaded.wait(5000);
    ASSERT_TRUE(podName.isValid());
    ASSERT_TRUE(folderName.isValid());

    const QLocale sl(QLocale::Slovenian, QLocale::Slovenia);
    const QString size = kolmo::qt::fileColumnText(podName.siblingAtColumn(1));
    EXPECT_EQ(size, sl.formattedDataSize(802));
    EXPECT_FALSE(size.contains(QStringLiteral("bytes"))) << size.toStdString();
    EXPECT_EQ(kolmo::qt::fileColumnText(podName.siblingAtColumn(2)), QStringLiteral("Datoteka točk Kolmo"));
    EXPECT_EQ(kolmo::qt::fileColumnText(folderName.siblingAtColumn(2)), QStringLiteral("Mapa"));
    EXPECT_EQ(kolmo::qt::fileColumnText(folderName.siblingAtColumn(1)), QString());
    const QString date = kolmo::qt::fileColumnText(podName.siblingAtColumn(3));
    EXPECT_EQ(date, sl.toString(QFileInfo(pod).lastModified(), QLocale::ShortFormat));
    for (const char* month : {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"})
        EXPECT_FALSE(date.contains(QLatin1String(month))) << date.toStdString();
    // The name column is Qt's own.
    EXPECT_TRUE(kolmo::qt::fileColumnText(podName).isNull());
    // With KOLMO_SHOTS set, the dialog as the user sees it.
    if (const QString shots = qEnvironmentVariable("KOLMO_SHOTS"); !shots.isEmpty()) {
        dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 480)));
        dialog.show();
        QCoreApplication::processEvents();
        dialog.grab().save(shots + QStringLiteral("/file-dialog.png"));
        dialog.hide();
    }
}

// The MIME type the package registers names the same type and glob the
// dialog falls back on.
TEST(FileTypes, PackagedMimeTypeMatchesTheDialogs)
{
    QFile xml(QStringLiteral(KOLMO_SOURCE_DIR "/gui/kolmo-mime.xml"));
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(xml.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("type=\"%1\"").arg(QLatin1String(kolmo::qt::kPointFileMime))));
    EXPECT_TRUE(text.contains(QStringLiteral("pattern=\"*.pod\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("<comment xml:lang=\"sl\">Datoteka točk Kolmo</comment>")));
}

} // namespace
