#include "boardtester/LogMemo.h"

#include <QTextBlock>
#include <QTextCursor>

namespace relmora {

LogMemo::LogMemo(QWidget* parent) : QPlainTextEdit(parent) {
    // Any other change (clear() above all) leaves the lines the text shows.
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (!adding_) lines_ = document()->isEmpty() ? 0 : document()->blockCount();
    });
}

void LogMemo::AddLine(const QString& text) {
    adding_ = true;
    if (lines_ > 0 && document()->isEmpty()) {
        // The log holds one empty line: the new line goes below it, not in its place.
        QTextCursor cursor(document());
        cursor.insertBlock();
        cursor.insertText(text);
        moveCursor(QTextCursor::End);
        ensureCursorVisible();
    } else {
        appendPlainText(text);
    }
    adding_ = false;
    ++lines_;
}

QStringList LogMemo::Lines() const {
    if (lines_ == 0) return {};
    return toPlainText().split('\n');
}

} // namespace relmora
