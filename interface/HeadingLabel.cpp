#include "interface/HeadingLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

#include <algorithm>

QString HeadingLabel::FitDashes(const QString& caption, const QFontMetrics& metrics, int width) {
    const auto length = caption.size();
    qsizetype left = 0;
    while (left < length && caption[left] == '-') ++left;
    qsizetype right = 0;
    while (right < length - left && caption[length - 1 - right] == '-') ++right;
    const QString words = caption.mid(left, length - left - right);
    for (qsizetype drop = 0; drop < std::max(left, right); ++drop) {
        const QString shown = QString(std::max<qsizetype>(left - drop, 0), '-') + words +
                              QString(std::max<qsizetype>(right - drop, 0), '-');
        if (metrics.horizontalAdvance(shown) <= width) return shown;
    }
    return left + right > 0 ? words.trimmed() : caption;
}

QString HeadingLabel::ShownText() const {
    return FitDashes(text(), fontMetrics(), contentsRect().width());
}

void HeadingLabel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}
