#pragma once
// The certificate page window: never shown, it holds one page's picture in ImageFond, on which
// the printing draws the page's texts and charts, and prints it.

#include <QWidget>

class ImageControl;
class QImage;
class QPainter;
class TMainFrm;

class TCertificateFrm : public QWidget {
public:
    explicit TCertificateFrm(TMainFrm& owner);

    // ImageFond takes a copy of picture and its size; at a scale above 1 it holds the picture
    // enlarged and is drawn on at that scale, for a printer's finer pixels.
    void SetPicture(const QImage& picture, int scale = 1);
    // Prints the window's picture scaled to fit the page of the painter's printer, keeping its
    // proportions, centred across the page and from its top.
    void Print(QPainter& painter) const;

    ImageControl* ImageFond = nullptr;
};
