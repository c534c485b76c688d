#include "engine/audio/RgbImage.h"

#include <algorithm>
#include <cstdint>

namespace vandrel {

RgbImage::RgbImage(int width, int height, Rgb background)
    : width_(std::max(0, width)), height_(std::max(0, height)) {
    if (width_ == 0 || height_ == 0) {
        width_ = height_ = 0;
    }
    pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
    Fill({0, 0, width_, height_}, background);
}

PixelRect RgbImage::Clip(const PixelRect& rect) const {
    // In 64 bits: the right edge of a huge rectangle may not fit an int.
    const auto clamp = [](int64_t value, int limit) {
        return static_cast<int>(std::clamp<int64_t>(value, 0, limit));
    };
    const int left = clamp(rect.x, width_);
    const int top = clamp(rect.y, height_);
    const int right = clamp(int64_t{rect.x} + rect.width, width_);
    const int bottom = clamp(int64_t{rect.y} + rect.height, height_);
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

Rgb RgbImage::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return {};
    }
    const size_t at = Offset(x, y);
    return {pixels_[at], pixels_[at + 1], pixels_[at + 2]};
}

void RgbImage::Set(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    const size_t at = Offset(x, y);
    pixels_[at] = colour.r;
    pixels_[at + 1] = colour.g;
    pixels_[at + 2] = colour.b;
}

void RgbImage::Fill(const PixelRect& rect, Rgb colour) {
    const PixelRect clipped = Clip(rect);
    for (int y = clipped.y; y < clipped.bottom(); ++y) {
        for (int x = clipped.x; x < clipped.right(); ++x) {
            const size_t at = Offset(x, y);
            pixels_[at] = colour.r;
            pixels_[at + 1] = colour.g;
            pixels_[at + 2] = colour.b;
        }
    }
}

void RgbImage::Blend(const PixelRect& rect, Rgb colour, int alpha) {
    const PixelRect clipped = Clip(rect);
    const int a = std::clamp(alpha, 0, 255);
    const auto mix = [a](uint8_t under, uint8_t over) {
        return static_cast<uint8_t>((under * (255 - a) + over * a + 127) / 255);
    };
    for (int y = clipped.y; y < clipped.bottom(); ++y) {
        for (int x = clipped.x; x < clipped.right(); ++x) {
            const size_t at = Offset(x, y);
            pixels_[at] = mix(pixels_[at], colour.r);
            pixels_[at + 1] = mix(pixels_[at + 1], colour.g);
            pixels_[at + 2] = mix(pixels_[at + 2], colour.b);
        }
    }
}

void RgbImage::DashedRow(int x, int width, int y, Rgb colour, int dash, int gap) {
    const int period = std::max(1, dash + gap);
    for (int i = 0; i < width; ++i) {
        if (i % period < dash) {
            Set(x + i, y, colour);
        }
    }
}

}  // namespace vandrel
