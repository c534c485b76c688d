#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vandrel {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// A rectangle of pixels: x and y of its top-left pixel, its size.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }    // the first column after it
    int bottom() const { return y + height; }  // the first row under it
    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
};

// An 8-bit RGB picture, rows from the top, three bytes a pixel with no gap
// between rows: the layout PNG and Qt's RGB888 images take as they are.
// Drawing outside the picture is cut off, so callers may draw freely.
class RgbImage {
public:
    RgbImage() = default;
    // Sizes under 1 make an empty picture.
    RgbImage(int width, int height, Rgb background);

    int width() const { return width_; }
    int height() const { return height_; }
    std::span<const uint8_t> pixels() const { return pixels_; }
    size_t stride() const { return static_cast<size_t>(width_) * 3; }

    // The pixel at (x, y); black outside the picture.
    Rgb At(int x, int y) const;
    void Set(int x, int y, Rgb colour);
    void Fill(const PixelRect& rect, Rgb colour);
    // Mixes `colour` into the rectangle's pixels: `alpha` 0 leaves them, 255
    // replaces them.
    void Blend(const PixelRect& rect, Rgb colour, int alpha);
    // One pixel in `dash` drawn, the next `gap` left, from x on.
    void DashedRow(int x, int width, int y, Rgb colour, int dash, int gap);

private:
    PixelRect Clip(const PixelRect& rect) const;
    size_t Offset(int x, int y) const {
        return (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> pixels_;
};

}  // namespace vandrel
