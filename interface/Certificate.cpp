#include "interface/Certificate.h"

#include <QFont>
#include <QPainter>

#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"

TCertificateFrm::TCertificateFrm(TMainFrm& owner)
    : QWidget(&owner, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName("CertificateFrm");
    setFont(QFont("Tahoma", 8));
    resize(630, 891);
    move(0, 0);
    ImageFond = new ImageControl(this);
    ImageFond->setObjectName("ImageFond");
    ImageFond->move(0, 0);
    ImageFond->SetImageSize(630, 891, platform::clWhite);
}

void TCertificateFrm::SetPicture(const QImage& picture, int scale) {
    ImageFond->SetPicture(picture, scale);
}

void TCertificateFrm::Print(QPainter& painter) const {
    const QImage& picture = ImageFond->Picture();
    if (picture.isNull()) return;
    const QRect page = painter.viewport();
    QSize size = picture.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    // The picture goes out once at its own resolution; the printer does the scaling.
    const QRect target(page.x() + (page.width() - size.width()) / 2, page.y(), size.width(),
                       size.height());
    // Kept without loss: a lossy picture smudges the edges of the letters.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.drawImage(target, picture);
}
