#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/FileChecks.h"
#include "engine/frame/FrameHeader.h"
#include "engine/media/MediaFile.h"
#include "engine/tags/Id3Tag.h"

namespace vandrel {

// The file type code of MPEG audio files, which their records carry as `kind`.
constexpr int kMpegAudioKind = 1;

// Bytes that one frame search reads; a first frame must start in its first half.
constexpr size_t kSearchWindowSize = 1'024'000;
// The search asks the stream for more of its window in steps of at least this
// size (the stream reads further ahead on its own).
constexpr size_t kSearchChunk = 4 * 1024;
// The last-frame check searches this many bytes before the end of the file.
constexpr int64_t kLastFrameSearchSize = 327'680;
// The music CRC reads the audio in chunks of this size.
constexpr size_t kMusicCrcChunk = 1'000'000;
// ID3v2 tags after the first that are skipped to find the audio.
constexpr int kMaxStackedId3v2 = 8;
// Frames between two progress calls of a frame walk.
constexpr int kProgressInterval = 2000;
// A frame walk reserves room in a series for at most this many frames (some
// 15 hours of MPEG-1 audio) before it starts.
constexpr int64_t kMaxSeriesReserve = int64_t{1} << 21;

// Four single-byte reads from `stream` combined big-endian; bytes past the end
// read 0xFF.
uint32_t ReadHeaderWord(FileStream& stream);

// An MPEG audio file (Layer I, II or III) and its frame scanner.
class CMp3File : public CMediaFile {
public:
    CMp3File() = default;
    CMp3File(const CMp3File& other);
    CMp3File& operator=(const CMp3File&) = delete;

    // Accepts a file when five chained frame headers start in the first half
    // of the search window from the middle of the file, or else from the
    // middle of what lies between its tags at the start and at the end.
    bool IsSupportedFile(const std::string& path) const override;
    std::unique_ptr<CMediaFileInterface> Clone() const override;
    int Scan(ScanRecord& record, const ScanOptions& options) override;
    int GetFileTypeCode() const override { return kMpegAudioKind; }
    int GetFeatureMask() const override {
        return 1 | kFeatureDetails | kFeatureSyncErrors | kFeatureAppend | kFeatureTagEditing;
    }

    // Looks for n chained frame headers from the current position, trying
    // each offset in the first half of a window read from there (and not past
    // `end`, when given). On success the stream stands at the chain and the
    // result is its offset from where the search started; otherwise -1.
    int64_t FindFrameChain(int n, int64_t end = -1);
    // Where the audio after the file's Xing/Info frame starts: the chain of
    // five frames looked for from 4 bytes into that frame (at the record's
    // first frame). -1 when there is none.
    int64_t FrameAfterInfoFrame(const ScanRecord& record);
    // Why a file that the probe refused still looks like MPEG audio: frames
    // of free format (no bitrate in their headers), or a whole file of
    // chained frames too short for the probe. Empty when neither is the case.
    static std::string RefusalReason(const std::string& path);

    bool Open(const std::string& path, std::string_view mode) override;
    // Also reads the ID3v2 tag from the bytes.
    void OpenMemory(const std::string& path, std::vector<uint8_t> bytes);

    // ID3v1: fills the record's tag fields and returns the tag's position, or
    // -1 when there is none. Leaves the stream at 0.
    int64_t ReadId3v1(ScanRecord& record);
    // ID3v2: fills the record's present flag and the first tag's size and
    // leaves the stream where the frames are looked for: after the tag and any
    // tags stacked behind it; at 0 when there is none, or when its size runs
    // past the end of the file.
    bool SkipId3v2(ScanRecord& record);
    // Xing/Info/LAME and VBRI headers of the frame at the current position;
    // leaves the stream where it was.
    void DetectVbrHeaders(ScanRecord& record);
    // Encoder text left in the file (LAME version, signatures); leaves the
    // stream at 0.
    void FindEncoderText(ScanRecord& record);

    // Writes the 128-byte ID3v1 image (with the track number in byte 126 when
    // it is not 0) over the file's tag, or appends it. The file must be open
    // for reading and writing. False when the write fails or is short.
    bool WriteId3v1(const Id3v1Tag& tag);

    // The CRC of the audio after the frame that holds the LAME tag up to the
    // tag's music length, compared with the tag's music CRC (fields
    // music_crc_ok, music_crc_computed and header_frame_length). Returns the
    // CRC; 0 without computing when the first two frames have no valid
    // header. `progress` hears (done, total) after each chunk; answering false
    // stops the work, and the record keeps its CRC fields as they were.
    uint16_t ComputeMusicCrc(ScanRecord& record, sink_mini* progress);

    const CID3Tag& Tags() const { return tag_; }

private:
    // The tags and headers a scan reads before the first frame: ID3v1, the
    // tags after the audio, ID3v2 and its cue sheet, the VBR headers and the
    // encoder's text. Returns where the tags after the audio start (the size
    // of the file when none do) and leaves the stream where the first frame
    // is looked for.
    int64_t ReadTagsAndHeaders(ScanRecord& record);
    // Whether the ID3v2 tag holds an embedded cue sheet.
    bool HasCueSheet() const;
    // Whether the audio between the first frame and `end` (where the tags
    // after it start) ends in a whole frame; fills the record's tail bytes.
    // Returns the bytes after the last frame that are no frames (0 when the
    // frames reach `end`, or when no chain of frames was found near it).
    int64_t CheckLastFrame(ScanRecord& record, int64_t first_frame, int64_t end);
    void CopyTail(ScanRecord& record, int64_t position);

    CID3Tag tag_;
    int64_t id3v2_end_ = 0;  // where the audio starts after an ID3v2 tag
};

inline constexpr const char* kFreeFormatRefusal = "Free-format MPEG audio is not supported";
inline constexpr const char* kTooFewFramesRefusal = "Too few MPEG audio frames";

// The cache step of a scan: when the analysis cache holds a record of the
// file at `path` (whose status is already in `record`) that covers
// `frame_limit` frames, it replaces `record` and is finished with `progress`.
// Answers whether that happened. Needs no open file, so a caller may ask
// before opening one.
// With `checks`, only a record cached with its checks answers, and they are
// copied out too.
bool AnswerFromCache(std::string_view path, ScanRecord& record, int frame_limit, sink* progress,
                     FileChecks* checks = nullptr);

// The finishing step of a scan: average bitrate, length and the VBR flag from
// the record's counts (and the Xing frame count). Returns the progress sink's
// answer, or true without one.
bool FinishScan(ScanRecord& record, sink* progress);

}  // namespace vandrel
