#include "interface/widgets/ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    canvas_.OnChange = [this] { update(); };
}

void ImageControl::SetImageSize(int w, int h, platform::TColor fill) {
    picture_ = QImage(std::max(w, 0), std::max(h, 0), QImage::Format_RGB32);
    picture_.fill(platform::ToQColor(fill));
    canvas_.SetScale(1);
    resize(picture_.size());
    updateGeometry();
    update();
}

void ImageControl::SetPicture(const QImage& picture, int scale) {
    scale = std::max(scale, 1);
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    picture_ = scale == 1
                   ? rgb
                   : rgb.scaled(rgb.size() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    canvas_.SetScale(scale);
    resize(picture.size());
    updateGeometry();
    update();
}

QSize ImageControl::sizeHint() const {
    return picture_.size() / Scale();
}

void ImageControl::SetOpaque(bool opaque) {
    opaque_ = opaque;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    update();
}

bool ImageControl::SavePng(const std::string& path) const {
    return picture_.save(QString::fromStdString(path), "PNG");
}

void ImageControl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (opaque_) {
        // The area beyond the picture is ours to paint too.
        const QRegion rest = QRegion(rect()) - QRegion(QRect(QPoint(0, 0), sizeHint()));
        for (const QRect& r : rest) painter.fillRect(r, platform::ToQColor(platform::clBtnFace));
    }
    if (Scale() == 1) {
        painter.drawImage(QPoint(0, 0), picture_);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), sizeHint()), picture_);
    }
}

void ImageControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (OnMouseMove) OnMouseMove(p.x(), p.y());
    // Handled here: the window behind must not take it for a move over itself.
    event->accept();
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (OnMouseDown) OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
    event->accept();
}

void ImageControl::enterEvent(QEnterEvent* event) {
    if (OnMouseEnter) OnMouseEnter();
    QWidget::enterEvent(event);
}

void ImageControl::leaveEvent(QEvent* event) {
    if (OnMouseLeave) OnMouseLeave();
    QWidget::leaveEvent(event);
}
