#include "engine/repair/XingFrame.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/frame/FrameHeader.h"
#include "engine/io/ByteOrder.h"
#include "engine/io/Crc16.h"
#include "engine/tags/VbrHeaders.h"

namespace vandrel {

namespace {

constexpr size_t kTocEntries = 100;
// Bytes of the LAME tag from its start to its music length, music CRC and
// tag CRC.
constexpr size_t kMusicLengthAt = 28;
constexpr size_t kMusicCrcAt = 32;
constexpr size_t kTagCrcAt = 34;

// The bitrate a new header frame starts from when its audio varies.
int32_t StartBitrate(const FrameHeader& header) {
    if (header.not_mpeg25 == 0) {
        return 32;
    }
    return header.is_mpeg1 != 0 ? 128 : 64;
}

// The header word of the new frame at bitrate index `index`, and its length.
struct SizedWord {
    uint32_t word = 0;
    int length = 0;
};

SizedWord AtIndex(uint32_t model, uint32_t index) {
    // Bit 8 is the private bit.
    const uint32_t word =
        (model & ~(kBitrateMask | kPaddingMask | 0x100u)) | kProtectionMask | (index << 12);
    FrameHeader header;
    return {word, DecodeFrameHeader(word, header)};
}

// The header word of the new frame: its length holds `needed` bytes.
SizedWord ChooseWord(const XingFrameFacts& facts, const FrameHeader& model, size_t needed) {
    if (!facts.vbr) {
        const SizedWord own = AtIndex(facts.model_word, static_cast<uint32_t>(model.bitrate_index));
        if (own.length >= static_cast<int>(needed)) {
            return own;
        }
    }
    const int32_t start = StartBitrate(model);
    for (uint32_t index = 1; index < 15; ++index) {
        if (BitrateKbps(model.is_mpeg1, model.layer, static_cast<int>(index)) < start) {
            continue;
        }
        const SizedWord sized = AtIndex(facts.model_word, index);
        if (sized.length >= static_cast<int>(needed)) {
            return sized;
        }
    }
    return {};
}

void Put32(std::vector<uint8_t>& frame, size_t at, uint32_t value) {
    StoreBe32(std::span<uint8_t>(frame).subspan(at, 4), value);
}

void Put16(std::vector<uint8_t>& frame, size_t at, uint16_t value) {
    StoreBe16(std::span<uint8_t>(frame).subspan(at, 2), value);
}

// The table of contents as the encoder makes it: entry i is where the frame
// i percent into the audio ends, in 256ths of the audio, each frame weighed
// by its bitrate (its length but for the padding); the first entry is 0.
void WriteToc(std::span<uint8_t> toc, const std::vector<uint32_t>& kbps) {
    std::vector<uint64_t> sums(kbps.size());
    uint64_t sum = 0;
    for (size_t i = 0; i < kbps.size(); ++i) {
        sum += kbps[i];
        sums[i] = sum;
    }
    for (size_t i = 0; i < toc.size(); ++i) {
        const size_t index = i * kbps.size() / toc.size();
        const uint64_t at = i == 0 || sum == 0 ? 0 : sums[index] * 256 / sum;
        toc[i] = static_cast<uint8_t>(std::min<uint64_t>(255, at));
    }
}

}  // namespace

std::vector<uint8_t> BuildXingFrame(const XingFrameFacts& facts) {
    FrameHeader model;
    if (DecodeFrameHeader(facts.model_word, model) == 0 || model.layer != 3) {
        return {};
    }
    const size_t at = XingHeaderOffset(facts.model_word);
    uint32_t flags = kXingFramesFlag | kXingBytesFlag | kXingTocFlag;
    size_t fields = 4 + 4 + 4 + 4 + kTocEntries;
    if (facts.vbr_scale) {
        flags |= kXingScaleFlag;
        fields += 4;
    }
    const size_t lame_at = at + fields;
    const size_t needed = lame_at + (facts.lame_tag ? kLameTagBytes : 0);
    const SizedWord sized = ChooseWord(facts, model, needed);
    if (sized.length == 0) {
        return {};
    }
    std::vector<uint8_t> frame(static_cast<size_t>(sized.length), 0);
    Put32(frame, 0, sized.word);
    std::memcpy(frame.data() + at, facts.vbr ? "Xing" : "Info", 4);
    Put32(frame, at + 4, flags);
    Put32(frame, at + 8, static_cast<uint32_t>(facts.frame_kbps.size()));
    const uint64_t total = frame.size() + facts.audio_bytes;
    Put32(frame, at + 12, SaturatedSize(total));
    WriteToc(std::span<uint8_t>(frame).subspan(at + 16, kTocEntries), facts.frame_kbps);
    if (facts.vbr_scale) {
        Put32(frame, at + 16 + kTocEntries, *facts.vbr_scale);
    }
    if (facts.lame_tag) {
        std::copy(facts.lame_tag->begin(), facts.lame_tag->end(), frame.begin() + lame_at);
        Put32(frame, lame_at + kMusicLengthAt, SaturatedSize(total));
        Put16(frame, lame_at + kMusicCrcAt, facts.music_crc);
        Put16(frame, lame_at + kTagCrcAt,
              Crc16(std::span<const uint8_t>(frame).first(lame_at + kTagCrcAt)));
    }
    return frame;
}

std::optional<size_t> LameTagOffset(const std::vector<uint8_t>& frame) {
    if (frame.size() < 4) {
        return std::nullopt;
    }
    const uint32_t word = LoadBe32(std::span<const uint8_t>(frame).first(4));
    size_t at = XingHeaderOffset(word);
    const auto has_tag = [&frame](size_t p) {
        return p + 8 <= frame.size() && (std::memcmp(frame.data() + p, "Xing", 4) == 0 ||
                                         std::memcmp(frame.data() + p, "Info", 4) == 0);
    };
    if (!has_tag(at)) {
        at += 2;  // after a frame CRC
        if ((word & kProtectionMask) != 0 || !has_tag(at)) {
            return std::nullopt;
        }
    }
    const uint32_t flags = LoadBe32(std::span<const uint8_t>(frame).subspan(at + 4, 4));
    size_t p = at + 8;
    p += (flags & kXingFramesFlag) != 0 ? 4 : 0;
    p += (flags & kXingBytesFlag) != 0 ? 4 : 0;
    p += (flags & kXingTocFlag) != 0 ? kTocEntries : 0;
    p += (flags & kXingScaleFlag) != 0 ? 4 : 0;
    return p;
}

}  // namespace vandrel
