#pragma once
// Finished texts of the canvas: which pixels a text covers in a font, measured and drawn once,
// so that the same text drawn again (the labels of a chart redrawn after every value) costs no
// text shaping. Internal to the canvas library; used on the program's one thread.

#include <QPoint>

#include <memory>
#include <string>
#include <vector>

namespace platform {

struct CanvasFont;

struct TextStamp {
    int width = 0;  // the text's advance
    int height = 0; // the font's line height
    int ascent = 0;
    // The pixels the glyphs cover, from the text's top-left corner. Exact only when the font
    // draws every pixel fully or not at all; otherwise the text must be drawn afresh.
    std::vector<QPoint> pixels;
    bool exact = false;
};

// The stamp of a text in a font (its colour does not matter), drawn on first use.
const TextStamp& StampOf(const CanvasFont& font, const std::string& text);

} // namespace platform
