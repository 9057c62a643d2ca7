#include "interface/widgets/StatusPanel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

const QString Ellipsis = QStringLiteral("\u2026");

} // namespace

QString FitPathText(const QString& lead, const QString& path, const QFontMetrics& metrics,
                    int width) {
    const QString whole = lead + path;
    auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text) <= width; };
    if (fits(whole)) return whole;

    const qsizetype slash = path.lastIndexOf('/');
    const QString folder = path.left(slash + 1); // with its last '/'; empty for a bare name
    const QString name = path.mid(slash + 1);
    // The pieces measured apart may come out a pixel narrower than the text they make (a pair
    // kerned across a seam): the room shrinks by what the result is over.
    auto shortened = [&](const QString& before, const QString& middle, const QString& after) {
        int room = width - metrics.horizontalAdvance(before + after);
        for (int tries = 0; tries < 4 && room > 0; ++tries) {
            const QString cut = metrics.elidedText(middle, Qt::ElideMiddle, room);
            if (cut.isEmpty()) break; // not even the ellipsis: nothing would show the cut
            const QString text = before + cut + after;
            if (fits(text)) return text;
            room -= std::max(1, metrics.horizontalAdvance(text) - width);
        }
        return QString();
    };
    if (!folder.isEmpty())
        if (QString text = shortened(lead, folder, name); !text.isEmpty()) return text;
    // The name alone is too wide: its start and its end (the extension) stay.
    if (QString text = shortened(lead + (folder.isEmpty() ? QString() : Ellipsis + '/'), name, "");
        !text.isEmpty())
        return text;
    return metrics.elidedText(whole, Qt::ElideRight, width);
}

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {}

void StatusPanel::SetText(const QString& text) {
    hasPath_ = false;
    lead_.clear();
    path_.clear();
    setToolTip(QString());
    setText(text);
    update();
}

void StatusPanel::SetText(const QString& lead, const QString& path) {
    hasPath_ = true;
    lead_ = lead;
    path_ = path;
    setText(lead + path);
    // Whether or not it is shortened now: the font or the width may change.
    setToolTip(lead + path);
    update();
}

QString StatusPanel::Shown() const {
    if (!hasPath_) return text();
    return FitPathText(lead_, path_, fontMetrics(), contentsRect().width() - 2 * margin());
}

void StatusPanel::paintEvent(QPaintEvent* event) {
    if (!hasPath_) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, area, static_cast<int>(alignment()), palette(), isEnabled(),
                          Shown(), foregroundRole());
}
