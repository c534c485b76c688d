#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// libmpg123's decoder, opaque outside MpegDecoder.cpp.
struct mpg123_handle_struct;

namespace vandrel {

// Decodes MPEG audio (Layers I, II and III) with libmpg123 into mono samples:
// the channels of a stereo stream are mixed to one, as floats of full scale
// 1. The bytes come from the caller, in pieces of any size, so that the file
// is read the way this program reads every file, and a scan can be stopped
// between two pieces.
class MpegDecoder {
public:
    // What decoded frames are handed to: their samples at `sample_rate` Hz.
    using Deliver = std::function<void(int sample_rate, std::span<const float> samples)>;

    // Throws ScanError when libmpg123 cannot make a decoder.
    MpegDecoder();
    ~MpegDecoder();
    MpegDecoder(const MpegDecoder&) = delete;
    MpegDecoder& operator=(const MpegDecoder&) = delete;

    // Decodes what `bytes` complete and hands each frame's samples to
    // `deliver`. Bytes that are no audio (tags, junk, damage) are skipped.
    // Throws ScanError when the decoder gives up on the stream.
    void Feed(std::span<const uint8_t> bytes, const Deliver& deliver);

    // The frames decoded so far.
    int64_t frames() const { return frames_; }

private:
    void DecodeFrames(const Deliver& deliver);
    [[noreturn]] void Fail(const std::string& what);

    mpg123_handle_struct* handle_ = nullptr;
    int sample_rate_ = 0;
    int64_t frames_ = 0;
    std::vector<float> samples_;  // the frame being handed on
};

}  // namespace vandrel
