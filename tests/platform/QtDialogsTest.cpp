// The real save dialog, driven as an operator does: the filter chosen, a name typed, Save.

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
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
