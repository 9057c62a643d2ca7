#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QPushButton>

#include <vector>

namespace platform {

namespace {

QMessageBox::Icon IconOf(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Qt's own button texts and translation context, so an installed Qt translation applies.
QString TextOf(MsgResult result) {
    const char* text = "&OK";
    switch (result) {
    case MsgResult::Ok:
        text = "&OK";
        break;
    case MsgResult::Cancel:
        text = "&Cancel";
        break;
    case MsgResult::Abort:
        text = "&Abort";
        break;
    case MsgResult::Retry:
        text = "&Retry";
        break;
    case MsgResult::Ignore:
        text = "&Ignore";
        break;
    case MsgResult::Yes:
        text = "&Yes";
        break;
    case MsgResult::No:
        text = "&No";
        break;
    }
    return QCoreApplication::translate("QPlatformTheme", text);
}

QString CaptionOf(const MessageBoxRequest& request) {
    if (!request.Caption.empty()) return QString::fromStdString(request.Caption);
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

} // namespace

MsgResult QtMessageBoxes::Show(const MessageBoxRequest& request) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(CaptionOf(request));
    box.setIcon(IconOf(request.Icon));
    // Our texts are never markup: a '<' in a file name must show as it is.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(request.Text));

    // One role for all buttons: QDialogButtonBox orders by role, and the desktop's layout would
    // otherwise reorder them (No before Yes on some).
    const std::vector<MsgResult> results = ButtonsOf(request.Buttons);
    std::vector<QPushButton*> buttons;
    for (MsgResult result : results)
        buttons.push_back(box.addButton(TextOf(result), QMessageBox::ActionRole));

    const auto index = static_cast<size_t>(request.DefaultButton);
    const size_t defaultIndex = index < buttons.size() ? index : 0;
    box.setDefaultButton(buttons[defaultIndex]);

    // Without an explicit escape button Qt finds none among action buttons, so Escape and the
    // close button are ignored: what a box without Cancel should do.
    QPushButton* escape = buttons.size() == 1 ? buttons.front() : nullptr;
    MsgResult escapeResult = results.front();
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i] == MsgResult::Cancel) {
            escape = buttons[i];
            escapeResult = MsgResult::Cancel;
        }
    }
    if (escape) box.setEscapeButton(escape);

    // A box no wider than "Test stopped" leaves the window manager no room for its caption
    // beside the title-bar buttons: it would show "Ca...ix".
    constexpr int MinimumBoxWidth = 240;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(MinimumBoxWidth, 0, QSizePolicy::Minimum,
                                      QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());

    box.exec();

    const QAbstractButton* clicked = box.clickedButton();
    for (size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] == clicked) return results[i];
    // Closed without a button (its parent went away): the answer of backing out.
    return escape ? escapeResult : results[defaultIndex];
}

} // namespace platform
