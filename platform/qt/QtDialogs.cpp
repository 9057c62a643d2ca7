#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace platform {

int QtDialogs::ShowModal(QDialog& dialog) {
    return dialog.exec();
}

std::optional<std::string> QtDialogs::SaveFileName(const FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.Title),
                       QString::fromStdString(request.InitialFolder),
                       QString::fromStdString(request.Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.DefaultSuffix));
    dialog.selectFile(QString::fromStdString(request.FileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

bool QtDialogs::ChooseFont(QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, QApplication::activeWindow());
    if (ok) font = chosen;
    return ok;
}

bool QtDialogs::SetupPrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

} // namespace platform
