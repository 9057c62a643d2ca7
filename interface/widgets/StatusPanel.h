#pragma once
// A panel of the status bar: a text centred in a sunken frame. A text that ends with a file
// path is drawn shortened when the whole does not fit: the path's folder loses its middle, so
// that the words in front and the file name stay readable; the whole text is then the panel's
// hint. The label's own text stays the whole text.

#include <QFontMetrics>
#include <QLabel>
#include <QString>

// `lead` + `path`, shortened to `width` pixels: first the folder of the path in its middle,
// then, when the file name alone is too wide, the file name in its middle.
QString FitPathText(const QString& lead, const QString& path, const QFontMetrics& metrics,
                    int width);

class StatusPanel final : public QLabel {
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    void SetText(const QString& text);
    void SetText(const QString& lead, const QString& path);

    // What the panel draws, at its width and in its font.
    QString Shown() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString lead_;
    QString path_;
    bool hasPath_ = false;
};
