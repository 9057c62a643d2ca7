// Draws the menus' icon from the About box's product picture: the picture centred on a
// transparent square (it is taller than wide) and scaled to each size asked for.
//   make_icon PICTURE OUTPUT_FOLDER SIZE...
// writes OUTPUT_FOLDER/SIZExSIZE/apps/calbrix.png, as the icon theme's folders name them.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_icon PICTURE OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    const QImage picture(QString::fromLocal8Bit(argv[1]));
    if (picture.isNull()) {
        std::fprintf(stderr, "make_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const int side = std::max(picture.width(), picture.height());
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    {
        QPainter p(&square);
        p.drawImage((side - picture.width()) / 2, (side - picture.height()) / 2, picture);
    }
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0) {
            std::fprintf(stderr, "make_icon: not a size: %s\n", argv[i]);
            return 2;
        }
        const QString folder =
            QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        const QString file = folder + "/calbrix.png";
        const QImage icon =
            square.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!QDir().mkpath(folder) ||
            !icon.convertToFormat(QImage::Format_ARGB32).save(file, "PNG")) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
