#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vandrel {

// What a scan found out about a file's integrity besides its record: the
// frame CRCs, the bytes around the audio that are neither frames nor known
// tags, the audio's extent, and where the coded spectrum of its Layer III
// granules ends. A fixed-size value, cached beside the record.
struct FileChecks {
    // 1 when a frame walk filled the frame counts below; 0 after a scan of
    // the headers only, or for a file kind without MPEG audio frames.
    uint32_t walked = 0;
    // Frames with a CRC whose check could be made, those that failed, and
    // those whose protected part this program cannot lay out.
    uint32_t crc_frames = 0;
    uint32_t crc_errors = 0;
    uint32_t crc_unchecked = 0;
    // Bytes between the tags at the start (or the start of the file) and the
    // first frame.
    uint32_t junk_before_audio = 0;
    // Bytes between the end of the last frame and the tags at the end (or
    // the end of the file) that are no known tag.
    uint32_t unknown_after_audio = 0;
    // From the first frame's start to the last frame's end; set by a walk of
    // the whole file, else 0.
    uint64_t audio_bytes = 0;
    // Where the coded spectrum of the loud long-block granules of a sample
    // of Layer III granules ends (engine/checks/UpscaleFacts.h): the
    // frequency 90 % of them stay under, the one 95 % stay under, and how
    // many loud granules there were; 0 when the walk decoded none.
    float bandwidth_hz = 0;
    float reach_hz = 0;
    uint32_t bandwidth_granules = 0;
    // Unused since the verdict is made from the figures here (it was the
    // kind of an older verdict); kept at 0 so that the stored layout stays.
    int32_t upscale = 0;
    // The length a player shows before it has read the file: from the Xing
    // or VBRI frame count, else the audio's size at the first frame's
    // bitrate. 0 when there is none to tell.
    float player_seconds = 0;
    // Frames skipped for being of another layer than the first frame (an MP3
    // and an MP2 joined into one file): how many are of the kind of the
    // first of them, that kind (MpegKindCode), and the runs of frames of
    // another layer, each of which is one sync error.
    uint32_t other_layer_frames = 0;
    uint16_t other_layer_kind = 0;
    uint16_t other_layer_runs = 0;
    // More of the coded spectrum's sample: the frequency half the loud
    // granules stay under, the share of them that end within kEdgeWidthHz
    // under `bandwidth_hz`, how far the level of the band at the edge lies
    // under the level two bands lower (kNoEdgeDrop when either is not
    // coded), every long-block granule decoded, and the Huffman and
    // reservoir errors of the sample.
    float median_hz = 0;
    float edge_share = 0;
    float edge_drop_db = 0;
    uint32_t spectrum_granules = 0;
    uint32_t spectrum_errors = 0;
    // Where the loud granules' band levels fall off a cliff under the top
    // band (FindCliff in UpscaleFacts.h): the start of the band past it, and
    // by how many dB they fall (kNoEdgeDrop when that band is not coded); 0
    // Hz when there is none.
    float cliff_hz = 0;
    float cliff_db = 0;
    // Where most of the loud granules whose coded spectrum ends firmly
    // (EndsFirmly in CodedSpectrumObserver.h) end, and their share of all
    // loud granules (FindFirmEdge in UpscaleFacts.h); 0 when none does.
    float firm_edge_hz = 0;
    float firm_edge_share = 0;
    // The encoder delay and padding of an "iTunSMPB" comment in the ID3v2
    // tag at the start (engine/tags/ItunesGap.h); itunes_gap 1 when there is
    // one.
    uint32_t itunes_gap = 0;
    uint32_t itunes_delay = 0;
    uint32_t itunes_padding = 0;
    // XXH3 (64 bits) over the audio frames' bytes, the header frame and all
    // else left out (engine/media/FrameWalk.cpp); audio_hashed 1 when a walk
    // of the whole file made it.
    uint32_t audio_hashed = 0;
    uint64_t audio_hash = 0;

    bool operator==(const FileChecks&) const = default;
};

// The size of FileChecks as the cache stores it: every field little-endian in
// the order above.
constexpr size_t kFileChecksImageSize = 120;
using FileChecksImage = std::array<uint8_t, kFileChecksImageSize>;

// A frame's version and layer as one number: the layer (1 to 3) plus 4 for
// MPEG-2 or 8 for MPEG-2.5 (bit 20 of the header clear).
constexpr uint16_t MpegKindCode(int is_mpeg1, int not_mpeg25, int layer) {
    const int version = not_mpeg25 == 0 ? 2 : (is_mpeg1 != 0 ? 0 : 1);
    return static_cast<uint16_t>(4 * version + layer);
}

FileChecksImage ToImage(const FileChecks& checks);
FileChecks ChecksFromImage(std::span<const uint8_t, kFileChecksImageSize> image);

}  // namespace vandrel
