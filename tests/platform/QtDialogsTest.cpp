// The real save dialog, driven as an operator does: the filter chosen, a name typed, Save.

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/qt/QtDialogs.h"

namespace {

// Chooses the filter, types the name and confirms, in the next dialog that opens.
void OperateNextSaveDialog(const QString& filter, const QString& typed) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->selectNameFilter(filter);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(typed);
        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
        ASSERT_NE(buttons, nullptr);
        buttons->button(QDialogButtonBox::Save)->click();
    });
}

} // namespace

TEST(QtDialogsTest, SavedNameGetsTheExtensionOfTheFilterChosen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + "/";
    const platform::FileDialogRequest request{
        "Save", folder.toStdString(), "proposed.rtf",
        "Fichier RTF (*.RTF *.rtf);;Fichier texte (*.TXT *.txt);;Tous les fichiers (*)", "TXT"};
    const struct {
        const char* filter;
        const char* typed;
        const char* saved;
    } cases[] = {
        {"Fichier RTF (*.RTF *.rtf)", "name", "name.RTF"},
        {"Fichier texte (*.TXT *.txt)", "name", "name.TXT"},
        {"Tous les fichiers (*)", "name", "name.TXT"},
        {"Fichier texte (*.TXT *.txt)", "name.rtf", "name.rtf"},
        {"Fichier RTF (*.RTF *.rtf)", "2020-06-15 - 14.05.09 - name",
         "2020-06-15 - 14.05.09 - name.RTF"},
    };
    platform::QtDialogs dialogs;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        OperateNextSaveDialog(c.filter, c.typed);
        const auto saved = dialogs.SaveFileName(request);
        ASSERT_TRUE(saved.has_value());
        EXPECT_EQ(*saved, (folder + c.saved).toStdString());
    }

    OperateNextSaveDialog("Fichier texte (*.TXT *.txt)", "other");
    const auto choice = dialogs.AskSaveFile(request);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->FilterIndex, 1);
}

// The question about replacing a file asks about the file that is written, also when the name
// has dots of its own that Qt would take for an extension.
TEST(QtDialogsTest, ReplaceQuestionIsAboutTheCompletedName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + "/";
    const QString written = folder + "2020-06-15 - 14.05.09 - name.RTF";
    QFile existing(written);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const platform::FileDialogRequest request{
        "Save", folder.toStdString(), "proposed.rtf",
        "Fichier RTF (*.RTF *.rtf);;Fichier texte (*.TXT *.txt);;Tous les fichiers (*)", "TXT"};

    QString asked;
    OperateNextSaveDialog("Fichier RTF (*.RTF *.rtf)", "2020-06-15 - 14.05.09 - name");
    // Due at once after the dialog's Save: it runs inside the question that Save brings up.
    // No leaves the dialog open, which is then cancelled.
    QTimer::singleShot(0, [&] {
        auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (question) {
            asked = question->text();
            question->button(QMessageBox::No)->click();
        }
        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
    });
    platform::QtDialogs dialogs;
    EXPECT_FALSE(dialogs.SaveFileName(request).has_value());
    EXPECT_TRUE(asked.contains("14.05.09 - name.RTF")) << asked.toStdString();
}
