// Draws the certificate's background picture and writes it as the baseline JFIF JPEG that the
// program embeds (interface/pictures/CertificateBackground.jpg). Run it again only to change
// the picture:
//   cmake --build build --target make_certificate_background
//   build/interface/make_certificate_background interface/pictures/CertificateBackground.jpg

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int Width = 630;
constexpr int Height = 891;

QImage Draw() {
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(QColor(0xFF, 0xFE, 0xF9)); // a warm paper white
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x1F, 0x3A, 0x68);
    const QColor gold(0xB8, 0x93, 0x3E);

    // The header block (date, operator, model, serial number) stands top right, above the
    // frame, where nothing is drawn; the frame holds the title, the report and the page number.
    // Its top lines stay between the header block's last line and the title.
    const QRectF frame(14, 111, Width - 28, Height - 111 - 14);
    p.setPen(QPen(ink, 3));
    p.drawRect(frame);
    p.setPen(QPen(gold, 2));
    p.drawRect(frame.adjusted(4, 4, -4, -4));
    p.setPen(QPen(ink, 1));
    p.drawRect(frame.adjusted(7.5, 7.5, -7.5, -7.5));

    // Corner ornaments: a diamond in each corner of the inner frame.
    const QRectF inner = frame.adjusted(7.5, 7.5, -7.5, -7.5);
    const QPointF corners[] = {inner.topLeft(), inner.topRight(), inner.bottomLeft(),
                               inner.bottomRight()};
    for (const QPointF& c : corners) {
        const double sx = c.x() < Width / 2 ? 1 : -1;
        const double sy = c.y() < Height / 2 ? 1 : -1;
        QPainterPath diamond;
        diamond.moveTo(c + QPointF(sx * 6, sy * 0));
        diamond.lineTo(c + QPointF(sx * 12, sy * 6));
        diamond.lineTo(c + QPointF(sx * 6, sy * 12));
        diamond.lineTo(c + QPointF(sx * 0, sy * 6));
        diamond.closeSubpath();
        p.setBrush(ink);
        p.setPen(Qt::NoPen);
        p.drawPath(diamond);
    }

    // A band of fine waves at the top left, a letterhead beside the header block.
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < 5; ++k) {
        QPainterPath wave;
        const double y0 = 40 + 8 * k;
        wave.moveTo(30, y0);
        for (int x = 30; x <= 250; x += 10)
            wave.quadTo(x + 5, y0 + (((x / 10) + k) % 2 ? -6 : 6), x + 10, y0);
        p.setPen(QPen(k % 2 ? gold : ink, 0.8));
        p.drawPath(wave);
    }

    // Rules under the title and above the page number.
    p.setPen(QPen(gold, 1.5));
    p.drawLine(QPointF(54, 160), QPointF(Width - 54, 160));
    p.setPen(QPen(ink, 0.8));
    p.drawLine(QPointF(54, 164), QPointF(Width - 54, 164));
    p.setPen(QPen(gold, 1.5));
    p.drawLine(QPointF(54, 812), QPointF(Width - 54, 812));

    // A seal at the bottom left: rings and rays.
    const QPointF seal(90, 830);
    p.setPen(QPen(gold, 2));
    p.drawEllipse(seal, 26, 26);
    p.setPen(QPen(ink, 1));
    p.drawEllipse(seal, 20, 20);
    for (int i = 0; i < 24; ++i) {
        QTransform t;
        t.translate(seal.x(), seal.y());
        t.rotate(i * 15.0);
        p.drawLine(t.map(QPointF(0, 8)), t.map(QPointF(0, 17)));
    }
    p.end();
    return image;
}

bool WriteJpeg(const QImage& image, const char* path) {
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info); // baseline, JFIF
    jpeg_set_quality(&info, 85, TRUE);
    info.optimize_coding = TRUE;
    info.density_unit = 1; // dots per inch
    info.X_density = 72;
    info.Y_density = 72;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width()) * 3);
    while (info.next_scanline < info.image_height) {
        const auto* pixels = reinterpret_cast<const QRgb*>(
            image.constScanLine(static_cast<int>(info.next_scanline)));
        for (int x = 0; x < image.width(); ++x) {
            row[static_cast<size_t>(x) * 3] = static_cast<JSAMPLE>(qRed(pixels[x]));
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(qGreen(pixels[x]));
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(qBlue(pixels[x]));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!WriteJpeg(Draw(), argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
