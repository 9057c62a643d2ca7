#pragma once
// A heading whose words are framed by decorative dashes. When the caption is wider than the
// label, dashes are dropped evenly from both ends until it fits, so a word is never cut; the
// caption itself (text()) stays as it was given.

#include <QLabel>

class QFontMetrics;

class HeadingLabel final : public QLabel {
public:
    using QLabel::QLabel;

    // The caption as drawn at the label's present width and font.
    QString ShownText() const;
    // The caption with as few of its outer dashes removed, one from each end at a time, as make
    // it fit the width; without outer dashes left it is returned without them, fitting or not.
    static QString FitDashes(const QString& caption, const QFontMetrics& metrics, int width);

protected:
    void paintEvent(QPaintEvent* event) override;
};
