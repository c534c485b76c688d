#pragma once

#include <string_view>

#include "engine/audio/RgbImage.h"

namespace vandrel {

// A small built-in font for the labels of pictures made without a window
// system: glyphs of 5 x 8 pixels (capitals and digits 7 high, descenders in
// the eighth row) on a cell of 6 x 9, drawn `scale` times as large. It holds
// the digits, the letters a to z and A to Z, and . , : - + / % ( ) = ? ' _;
// any other character is drawn as "?".
class BitmapFont {
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 8;
    static constexpr int kAdvance = 6;     // from one character's left edge to the next
    static constexpr int kLineHeight = 9;  // a line's height, the gap under it included
    static constexpr int kCapHeight = 7;   // digits and capitals, from the top of the cell

    // The pixels `text` takes across: no gap after its last character.
    static int TextWidth(std::string_view text, int scale);
    // Draws `text` with its cell's top-left corner at (x, y).
    static void Draw(RgbImage& image, int x, int y, std::string_view text, Rgb colour, int scale);
};

}  // namespace vandrel
