#pragma once
// The switch-board tester's log: a read-only text box that holds lines as a memo does. An
// empty line is a line like any other, also as the first one, although a plain text box whose
// only line is empty cannot be told from an empty box.

#include <QPlainTextEdit>
#include <QStringList>

namespace relmora {

class LogMemo final : public QPlainTextEdit {
public:
    explicit LogMemo(QWidget* parent = nullptr);

    // Adds a line at the end and shows it.
    void AddLine(const QString& text);
    // Every line, in order; none when the log is empty.
    QStringList Lines() const;

private:
    int lines_ = 0;
    bool adding_ = false;
};

} // namespace relmora
