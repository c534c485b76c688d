#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BitReader.h"
#include "FrameHeader.h"
#include "MediaFile.h"

namespace vandrel {

// Bytes that one frame search reads; a first frame must start in its first half.
constexpr size_t kSearchWindowSize = 1'024'000;
// The search window is fetched in pieces of at least this size.
constexpr size_t kSearchChunk = 64 * 1024;
// The last-frame check searches this many bytes before the end of the file.
constexpr int64_t kLastFrameSearchSize = 327'680;
// Frames between two progress calls of a frame walk.
constexpr int kProgressInterval = 2000;

// An MPEG audio file (Layer I, II or III) and its frame scanner.
class CMp3File : public CMediaFile {
public:
    CMp3File() = default;
    CMp3File(const CMp3File& other);
    CMp3File& operator=(const CMp3File&) = delete;

    // Accepts a file when five chained frame headers start in the first half
    // of the search window from the middle of the file.
    bool IsSupportedFile(const std::string& path) const override;
    std::unique_ptr<CMediaFileInterface> Clone() const override;
    int Scan(bool walk, ScanRecord& record, int frame_limit, FrameSeries* series, bool bypass_cache,
             sink* progress) override;
    int GetFileTypeCode() const override { return 1; }
    int GetFeatureMask() const override { return 31; }

    // Looks for n chained frame headers from the current position, trying
    // each offset in the first half of a window read from there. On success
    // the stream stands at the chain and the result is its offset from where
    // the search started; otherwise -1.
    int64_t FindFrameChain(int n);

protected:
    // Steps of the scan that the tag, VBR-header and encoder-text readers fill.
    // ID3v1: fills the record's tag fields, returns the tag position or -1 and
    // leaves the stream at 0.
    virtual int64_t ReadId3v1(ScanRecord& record);
    // ID3v2: fills present flag and size and leaves the stream after the tag.
    virtual bool SkipId3v2(ScanRecord& record);
    // Whether the ID3v2 tag holds an embedded cue sheet.
    virtual bool HasCueSheet() const;
    // Xing/Info/LAME and VBRI headers of the frame at the current position;
    // leaves the stream where it was.
    virtual void DetectVbrHeaders(ScanRecord& record);
    // Encoder text left in the file (LAME version, signatures); leaves the
    // stream at 0.
    virtual void FindEncoderText(ScanRecord& record);

private:
    // Four single-byte reads combined big-endian; bytes past the end read 0xFF.
    uint32_t ReadHeaderWord();
    void CheckLastFrame(ScanRecord& record);
    void CopyTail(ScanRecord& record, int64_t position);
    // Parses the frame at the current position into the record and series;
    // returns the next frame's position, or -1 when the frame is invalid or
    // disagrees with the file's reference values.
    int64_t ParseFrame(ScanRecord& record, FrameSeries* series);
    int WalkFrames(ScanRecord& record, int64_t start, int64_t end, int limit, FrameSeries* series,
                   sink* progress);

    BitReader bits_;
    std::unique_ptr<uint8_t[]> search_window_; // reused by every search of this file
};

// The cache step of a scan: when the analysis cache holds a record of the
// file at `path` (whose status is already in `record`) that covers
// `frame_limit` frames, it replaces `record` and is finished with `progress`.
// Answers whether that happened. Needs no open file, so a caller may ask
// before opening one.
bool AnswerFromCache(std::string_view path, ScanRecord& record, int frame_limit, sink* progress);

// The finishing step of a scan: average bitrate, length and the VBR flag from
// the record's counts (and the Xing frame count). Returns the progress sink's
// answer, or true without one.
bool FinishScan(ScanRecord& record, sink* progress);

} // namespace vandrel
