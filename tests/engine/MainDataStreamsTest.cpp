// The main-data decoder over every frame of whole streams: the shared
// conformance streams decode without an error, and damaged frames give
// counted errors, never a read past the frame (run under the address
// sanitizer by the asan preset).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/frame/FrameHeader.h"
#include "engine/frame/MainDataDecoder.h"
#include "engine/io/ByteOrder.h"
#include "support/TestFiles.h"

namespace vandrel {
namespace {

// A frame of Walked::bytes and its decoded header.
struct Frame {
    size_t at;
    size_t length;
    FrameHeader header;
};

// Whether a frame is the Xing, Info or VBRI header frame, which carries no
// audio (its side information may even be overwritten by the header, as
// lame's is with a CRC).
bool IsHeaderFrame(std::span<const uint8_t> frame) {
    const std::string_view start(reinterpret_cast<const char*>(frame.data()),
                                 std::min<size_t>(frame.size(), 64));
    return start.find("Xing") != start.npos || start.find("Info") != start.npos ||
           start.find("VBRI") != start.npos;
}

// Every Layer III frame of `bytes` (after an ID3v2 tag) but the header
// frame, in order: a header counts as a frame when the next header follows it
// or the bytes end. Where no frame follows, the search goes on a byte later,
// and the frame after it is marked as following a gap.
struct Walked {
    std::vector<uint8_t> bytes;
    std::vector<Frame> frames;
    std::vector<size_t> gaps;  // frames before each gap

    std::span<const uint8_t> Bytes(const Frame& f) const {
        return std::span(bytes).subspan(f.at, f.length);
    }
};

Walked LayerThreeFrames(std::vector<uint8_t> file) {
    Walked walked;
    walked.bytes = std::move(file);
    const std::vector<uint8_t>& bytes = walked.bytes;
    size_t at = 0;
    if (bytes.size() >= 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
        at = 10 + LoadSyncsafe28(std::span(bytes).subspan(6, 4));
    }
    bool in_step = false;
    while (at + 4 <= bytes.size()) {
        FrameHeader header{};
        const auto length = static_cast<size_t>(
            DecodeFrameHeader(LoadBe32(std::span(bytes).subspan(at, 4)), header));
        FrameHeader next{};
        const bool chained =
            length > 0 && at + length <= bytes.size() &&
            (at + length + 4 > bytes.size() ||
             DecodeFrameHeader(LoadBe32(std::span(bytes).subspan(at + length, 4)), next) > 0);
        if (!chained) {
            if (in_step) {
                walked.gaps.push_back(walked.frames.size());
            }
            in_step = false;
            ++at;
            continue;
        }
        const bool first = walked.frames.empty() && walked.gaps.empty();
        if (header.layer == 3 && !(first && IsHeaderFrame(std::span(bytes).subspan(at, length)))) {
            walked.frames.push_back({at, length, header});
        }
        in_step = true;
        at += length;
    }
    return walked;
}

// Decodes every frame, resetting the reservoir at each gap.
MainDataCounts DecodeAll(const Walked& walked, MainDataDecoder& decoder) {
    size_t gap = 0;
    for (size_t i = 0; i < walked.frames.size(); ++i) {
        if (gap < walked.gaps.size() && walked.gaps[gap] == i) {
            decoder.Reset();
            ++gap;
        }
        decoder.Decode(walked.Bytes(walked.frames[i]), walked.frames[i].header);
    }
    return decoder.counts();
}

uint32_t Errors(const MainDataCounts& c) {
    return c.huffman_errors + c.reservoir_errors + c.part2_3_overruns;
}

uint32_t GranuleChannels(const Walked& walked) {
    uint32_t total = 0;
    for (const Frame& f : walked.frames) {
        total += static_cast<uint32_t>((f.header.is_mpeg1 != 0 ? 2 : 1) * f.header.channels);
    }
    return total;
}

TEST(MainDataStreams, SharedLayerThreeStreamsDecodeEveryFrameWithoutErrors) {
    const auto samples = test::SamplesDir();
    if (!samples) {
        GTEST_SKIP() << "no shared samples folder next to the checkout";
    }
    const std::filesystem::path folder = std::filesystem::path(*samples) / "minimp3";
    if (!std::filesystem::is_directory(folder)) {
        GTEST_SKIP() << "no minimp3 samples";
    }
    int streams = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const bool layer3 = name.starts_with("l3-") || name.starts_with("M2L3_") ||
                            name == "ILL2_layer3.bit" || entry.path().extension() == ".mp3";
        // Free format has no frame length in its headers, and the scan
        // refuses it; the three compl-sideinfo streams have side information
        // damaged on purpose (below).
        if (!entry.is_regular_file() || !layer3 || name == "l3-he_free.bit" ||
            name.starts_with("l3-nonstandard-compl-sideinfo-")) {
            continue;
        }
        SCOPED_TRACE(name);
        const Walked walked = LayerThreeFrames(test::ReadFile(entry.path().string()));
        MainDataDecoder decoder;
        const MainDataCounts counts = DecodeAll(walked, decoder);
        EXPECT_EQ(counts.huffman_errors, 0u) << "Huffman errors";
        EXPECT_EQ(counts.reservoir_errors, 0u) << "reservoir errors";
        EXPECT_EQ(counts.part2_3_overruns, 0u) << "part2_3_length overruns";
        EXPECT_EQ(counts.decoded + counts.not_decodable, GranuleChannels(walked))
            << "granule-channels accounted for";
        // Only the first frames after the start or a gap reach back past the reservoir.
        EXPECT_LE(counts.not_decodable, 8 * (walked.gaps.size() + 1)) << "not decodable";
        ++streams;
    }
    EXPECT_GE(streams, 30) << "Layer III streams decoded";

    // Side information damaged on purpose gives counted errors.
    for (const char* damaged : {"l3-nonstandard-compl-sideinfo-bigvalues.bit",
                                "l3-nonstandard-compl-sideinfo-blocktype.bit",
                                "l3-nonstandard-compl-sideinfo-size.bit"}) {
        const Walked walked = LayerThreeFrames(test::ReadFile((folder / damaged).string()));
        MainDataDecoder decoder;
        EXPECT_GT(Errors(DecodeAll(walked, decoder)), 0u) << "errors of " << damaged;
    }
}

TEST(MainDataStreams, DamagedFramesGiveCountedErrorsAndNoReadPastTheirBytes) {
    for (const char* name : {"lame_cbr128_joint.mp3", "lame_crc_mpeg2_22k_cbr64.mp3",
                             "lame_mpeg25_8k_vbr_mono.mp3", "lame_vbr_v2.mp3"}) {
        SCOPED_TRACE(name);
        const Walked frames = LayerThreeFrames(test::ReadFile(test::FixturePath(name)));
        ASSERT_GT(frames.frames.size(), 20u) << "frames of the fixture";
        MainDataDecoder reference;
        EXPECT_EQ(Errors(DecodeAll(frames, reference)), 0u) << "errors of the clean file";

        // Bytes flipped after the header: each frame's copy gets a few.
        std::mt19937 random(7);
        std::vector<std::vector<uint8_t>> copies;
        for (const Frame& f : frames.frames) {
            const std::span<const uint8_t> bytes = frames.Bytes(f);
            std::vector<uint8_t> copy(bytes.begin(), bytes.end());
            for (int flip = 0; flip < 3; ++flip) {
                copy[4 + random() % (copy.size() - 4)] ^= static_cast<uint8_t>(1 + random() % 255);
            }
            copies.push_back(std::move(copy));
        }
        MainDataDecoder decoder;
        for (size_t i = 0; i < copies.size(); ++i) {
            decoder.Decode(copies[i], frames.frames[i].header);
        }
        const MainDataCounts flipped = decoder.counts();
        EXPECT_GT(Errors(flipped), 0u) << "errors of the flipped frames";
        EXPECT_EQ(flipped.decoded + flipped.not_decodable + Errors(flipped),
                  GranuleChannels(frames))
            << "each granule-channel decoded, not decodable or counted once";

        // Frames cut anywhere: nothing decoded, nothing read past the cut.
        MainDataDecoder cut;
        for (const Frame& f : frames.frames) {
            const std::span<const uint8_t> bytes = frames.Bytes(f);
            const std::vector<uint8_t> part(
                bytes.begin(),
                bytes.begin() + static_cast<std::ptrdiff_t>(random() % bytes.size()));
            cut.Decode(part, f.header);
        }
        EXPECT_EQ(cut.counts().decoded, 0u) << "granule-channels of cut frames decoded";
        EXPECT_EQ(cut.counts().not_decodable, GranuleChannels(frames))
            << "granule-channels of cut frames not decodable";
    }
}

}  // namespace
}  // namespace vandrel
