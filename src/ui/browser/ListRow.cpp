#include "ui/browser/ListRow.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <span>

#include "engine/io/ByteOrder.h"

namespace vandrel {

// --- packed texts -----------------------------------------------------------

PackedTexts::PackedTexts(const AttributeTexts& texts) {
    size_t total = 0;
    for (int i = 0; i < kSlotCount; ++i) {
        total += texts[i * kSlotStep].size();
    }
    buffer_.reserve(total);
    for (int i = 0; i < kSlotCount; ++i) {
        const std::string& text = texts[i * kSlotStep];
        // Past the limit a text is cut rather than the buffer's ends wrapping.
        const size_t room = std::numeric_limits<uint16_t>::max() - buffer_.size();
        buffer_.append(text, 0, std::min(text.size(), room));
        ends_[static_cast<size_t>(i)] = static_cast<uint16_t>(buffer_.size());
    }
}

std::string_view PackedTexts::operator[](int slot) const {
    const auto index = static_cast<size_t>(slot / kSlotStep);
    const size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(buffer_).substr(begin, ends_[index] - begin);
}

void PackedTexts::Set(int slot, std::string_view text) {
    AttributeTexts texts;
    for (int i = 0; i < kSlotCount; ++i) {
        texts[i * kSlotStep] = std::string((*this)[i * kSlotStep]);
    }
    texts[slot] = std::string(text);
    *this = PackedTexts(texts);
}

// --- packed records -----------------------------------------------------------

PackedRecord::PackedRecord(const ScanRecord& record) {
    const ScanRecordImage image = ToImage(record);
    for (size_t piece = 0; piece < kPieces; ++piece) {
        const size_t begin = piece * kPiece;
        const size_t end = std::min(begin + kPiece, image.size());
        if (std::any_of(image.begin() + std::ptrdiff_t(begin), image.begin() + std::ptrdiff_t(end),
                        [](uint8_t byte) { return byte != 0; })) {
            present_[piece / 64] |= uint64_t{1} << (piece % 64);
            // The last piece is short; it is held zero-padded like the rest.
            pieces_.append(reinterpret_cast<const char*>(image.data() + begin), end - begin);
            pieces_.append(kPiece - (end - begin), '\0');
        }
    }
}

ScanRecord PackedRecord::Unpack() const {
    ScanRecordImage image{};
    size_t held = 0;
    for (size_t piece = 0; piece < kPieces; ++piece) {
        if (Holds(piece)) {
            const size_t begin = piece * kPiece;
            std::memcpy(image.data() + begin, pieces_.data() + held * kPiece,
                        std::min(kPiece, image.size() - begin));
            ++held;
        }
    }
    return FromImage(image);
}

size_t PackedRecord::HeldBefore(size_t piece) const {
    size_t count = 0;
    for (size_t word = 0; word < piece / 64; ++word) {
        count += static_cast<size_t>(std::popcount(present_[word]));
    }
    const uint64_t below = (uint64_t{1} << (piece % 64)) - 1;
    return count + static_cast<size_t>(std::popcount(present_[piece / 64] & below));
}

uint32_t PackedRecord::Field32(size_t offset) const {
    const size_t piece = offset / kPiece;
    if (!Holds(piece)) {
        return 0;
    }
    const size_t at = HeldBefore(piece) * kPiece + offset % kPiece;
    return LoadLe32(std::span(reinterpret_cast<const uint8_t*>(pieces_.data()) + at, 4));
}

}  // namespace vandrel
