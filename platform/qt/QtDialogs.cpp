#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace platform {

int QtDialogs::ShowModal(QDialog& dialog) {
    return dialog.exec();
}

namespace {

// The name the operator types gets the extension of the filter chosen when it is confirmed,
// so the dialog's own question about replacing a file asks about the file that is written.
class SaveFileDialog final : public QFileDialog {
public:
    explicit SaveFileDialog(const FileDialogRequest& request)
        : QFileDialog(QApplication::activeWindow(), QString::fromStdString(request.Title),
                      QString::fromStdString(request.InitialFolder),
                      QString::fromStdString(request.Filter)),
          request_(request) {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        UseSuffixOfChosenFilter();
        selectFile(QString::fromStdString(request.FileName));
    }

    int ChosenFilter() const {
        return static_cast<int>(nameFilters().indexOf(selectedNameFilter()));
    }

    void accept() override {
        UseSuffixOfChosenFilter();
        // The name as it will be written, so that the question about replacing a file asks
        // about that file: Qt adds no suffix to a name with a dot inside ("14.05.09 - x").
        if (const QStringList files = selectedFiles(); !files.isEmpty()) {
            const QString typed = files.front();
            const std::string completed =
                CompletedSaveName(request_, {typed.toStdString(), ChosenFilter()});
            if (!QFileInfo(typed).isDir() && completed != typed.toStdString())
                selectFile(QString::fromStdString(completed));
        }
        QFileDialog::accept();
    }

private:
    void UseSuffixOfChosenFilter() {
        setDefaultSuffix(QString::fromStdString(SaveExtension(request_, ChosenFilter())));
    }

    const FileDialogRequest& request_;
};

} // namespace

std::optional<SaveChoice> QtDialogs::AskSaveFile(const FileDialogRequest& request) {
    SaveFileDialog dialog(request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return SaveChoice{dialog.selectedFiles().front().toStdString(), dialog.ChosenFilter()};
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
