// The Layer III main-data decoder over frames cut from the input, with the
// reservoir carried from frame to frame. The input's first four bytes give a
// header, made a valid Layer III one; each frame then starts where the last
// one ended: the input's own frame where a Layer III header stands there,
// else the bytes there under that header (the last frame cut short). Each
// frame is a copy of its own length, so that a read past it is caught.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "engine/frame/FrameHeader.h"
#include "engine/frame/MainDataDecoder.h"
#include "engine/io/ByteOrder.h"

namespace {

using namespace vandrel;

uint32_t LayerThreeHeader(uint32_t word) {
    word |= kSyncMask;
    word = (word & ~kLayerMask) | (1u << 17);  // layer bits 01: Layer III
    const uint32_t bitrate = (word & kBitrateMask) >> 12;
    if (bitrate == 0 || bitrate == 15) {
        word = (word & ~kBitrateMask) | (9u << 12);
    }
    if ((word & kSampleRateMask) == kSampleRateMask) {
        word &= ~kSampleRateMask;
    }
    return word;
}

// What a decoded granule-channel must hold, whatever the input.
void CheckSpectrum(const GranuleSpectrum& s) {
    if (s.state != GranuleState::kDecoded) {
        return;
    }
    FUZZ_CHECK(s.highest_line >= -1 && s.highest_line < kGranuleLines);
    FUZZ_CHECK(s.band_count >= 0 && s.band_count <= kMaxBandLevels);
    for (int i = s.highest_line + 1; i < kGranuleLines; ++i) {
        FUZZ_CHECK(s.lines[static_cast<size_t>(i)] == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::span<const uint8_t> input(data, size);
    const uint32_t word = LayerThreeHeader(LoadBe32(input));
    MainDataDecoder decoder;
    uint32_t granule_channels = 0;
    for (size_t at = 0; at < size;) {
        FrameHeader header{};
        int length = at + 4 <= size ? DecodeFrameHeader(LoadBe32(input.subspan(at, 4)), header) : 0;
        std::vector<uint8_t> frame;
        if (length > 0 && header.layer == 3) {
            frame.assign(data + at, data + std::min(size, at + static_cast<size_t>(length)));
        } else {
            length = DecodeFrameHeader(word, header);
            frame.assign(data + at, data + std::min(size, at + static_cast<size_t>(length)));
            if (frame.size() >= 4) {
                StoreBe32(frame, word);
            }
        }
        decoder.Decode(frame, header);
        granule_channels += static_cast<uint32_t>(decoder.granules() * decoder.channels());
        for (int gr = 0; gr < decoder.granules(); ++gr) {
            for (int ch = 0; ch < decoder.channels(); ++ch) {
                CheckSpectrum(decoder.spectrum(gr, ch));
            }
        }
        at += static_cast<size_t>(length);
    }
    // Each granule-channel is decoded, not decodable, or one counted error.
    const MainDataCounts& c = decoder.counts();
    FUZZ_CHECK(c.decoded + c.not_decodable + c.huffman_errors + c.reservoir_errors +
                   c.part2_3_overruns ==
               granule_channels);
    return 0;
}
