#include "platform/canvas/TextStamps.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <unordered_map>

#include "platform/canvas/Canvas.h"

namespace platform {

namespace {

// A few thousand stamps of a few hundred pixels each at most; past that the cache starts
// afresh rather than growing with every text a long run writes.
constexpr size_t MaxStamps = 4096;

std::string KeyOf(const CanvasFont& font, const std::string& text) {
    std::string key = font.Name;
    key += '\0';
    key += std::to_string(font.Size);
    key += font.Bold ? 'b' : '-';
    key += font.Italic ? 'i' : '-';
    key += font.Underline ? 'u' : '-';
    key += font.StrikeOut ? 's' : '-';
    key += '\0';
    key += text;
    return key;
}

TextStamp Draw(const CanvasFont& canvasFont, const std::string& text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFont font = ToQFont(canvasFont);
    const QFontMetrics metrics(font);
    TextStamp stamp;
    stamp.width = metrics.horizontalAdvance(s);
    stamp.height = metrics.height();
    stamp.ascent = metrics.ascent();
    // Room on every side for glyphs that reach beyond their advance or line (italics,
    // accents); a glyph that still touches the edge may have been cut, so it is not trusted.
    const int margin = stamp.height + 8;
    QImage mask(stamp.width + 2 * margin, stamp.height + 2 * margin, QImage::Format_RGB32);
    mask.fill(0xFF000000);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(font);
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(QPoint(margin, margin + stamp.ascent), s);
    }
    stamp.exact = true;
    for (int y = 0; y < mask.height(); ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(mask.constScanLine(y));
        for (int x = 0; x < mask.width(); ++x) {
            const uint32_t pixel = line[x] & 0xFFFFFF;
            if (pixel == 0) continue;
            const bool edge = x == 0 || y == 0 || x == mask.width() - 1 || y == mask.height() - 1;
            if (pixel != 0xFFFFFF || edge) stamp.exact = false;
            stamp.pixels.emplace_back(x - margin, y - margin);
        }
    }
    return stamp;
}

} // namespace

const TextStamp& StampOf(const CanvasFont& font, const std::string& text) {
    static thread_local std::unordered_map<std::string, TextStamp> stamps;
    std::string key = KeyOf(font, text);
    if (const auto found = stamps.find(key); found != stamps.end()) return found->second;
    if (stamps.size() >= MaxStamps) stamps.clear();
    return stamps.emplace(std::move(key), Draw(font, text)).first->second;
}

} // namespace platform
