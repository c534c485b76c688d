#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vandrel {

constexpr size_t kScanRecordSize = 2056;
constexpr size_t kRecordPathCapacity = 260;  // 259 characters and the terminator
constexpr int kMaxStoredSyncErrors = 20;
// The record keeps sizes in 32 bits. Larger values are stored as the largest
// one (never wrapped): a size of kRecordSizeLimit means "this big or bigger".
constexpr uint32_t kRecordSizeLimit = 0xFFFFFFFF;

inline uint32_t SaturatedSize(uint64_t size) {
    return size < kRecordSizeLimit ? static_cast<uint32_t>(size) : kRecordSizeLimit;
}

// The 128-byte ID3v1 image as found at the end of a file, followed by the
// ID3v1.1 track number (which is not part of the file's bytes).
struct Id3v1Tag {
    uint8_t image[128];  // "TAG", title, artist, album, year, comment, genre
    int32_t track;       // 0 when none
};
static_assert(sizeof(Id3v1Tag) == 132);
static_assert(offsetof(Id3v1Tag, track) == 128);

// The file's status at scan time; the cache compares the modification time.
struct RecordFileStatus {
    uint32_t device;
    uint16_t serial;  // low 16 bits of the inode number
    uint16_t mode;
    int16_t link_count;
    int16_t user_id;
    int16_t group_id;
    uint8_t reserved[2];
    uint32_t raw_device;
    int32_t size;
    int32_t access_time;  // seconds since 1970-01-01 UTC
    int32_t modification_time;
    int32_t change_time;
};
static_assert(sizeof(RecordFileStatus) == 36);

// How the music CRC was computed (field music_crc_computed; 0 when it was not):
// up to the LAME tag's music length; or, that length being unusable, over the
// rest of the file but an ID3v1 tag: a length of 0 or one ending inside the
// tag's own frame, or a length that runs past the end of the file.
inline constexpr int32_t kMusicCrcOverMusicLength = 1;
inline constexpr int32_t kMusicCrcWithoutMusicLength = 2;
inline constexpr int32_t kMusicCrcMusicLengthPastEnd = 3;

// Xing/Info header and LAME tag as decoded into the record.
struct VbrHeaderBlock {
    int32_t is_mpeg1;     // of the frame holding the header
    int32_t sample_rate;  // 44100, 48000, 32000, 99999 by index, halved when not MPEG-1
    uint32_t flags;       // 0 when there is no header
    uint32_t frames;      // frames after the header frame
    uint32_t bytes;
    int32_t vbr_scale;  // -1 when absent
    uint8_t reserved_592[4];
    char lame_version[10];  // 9 characters and a terminator
    uint8_t reserved_606[2];
    int32_t has_lame_tag;  // LAME tag present and its tag CRC correct
    int32_t music_crc_ok;
    uint8_t tag_revision;
    uint8_t vbr_method;
    uint8_t reserved_618[2];
    int32_t lowpass;  // Hz
    float peak_amplitude;
    int32_t radio_gain_name;
    int32_t radio_gain_originator;
    int32_t radio_gain_adjustment;  // tenths of a dB
    int32_t audiophile_gain_name;
    int32_t audiophile_gain_originator;
    int32_t audiophile_gain_adjustment;
    uint8_t encoding_flags;  // bit 0 nspsytune, 1 safe joint, 2 nogap continued, 3 continuation
    uint8_t ath_type;
    uint8_t abr_bitrate;
    uint8_t delay_padding[3];
    uint8_t mp3_gain[3];
    uint8_t reserved_661[3];
    int32_t header_frame_length;  // set by the music CRC computation
    uint8_t noise_shaping;
    uint8_t stereo_mode;
    uint8_t reserved_670[2];
    int32_t unwise_settings;
    uint8_t source_frequency;
    uint8_t reserved_677[3];
    uint32_t music_length;
    uint16_t music_crc;
    uint8_t reserved_686[2];
    int32_t music_crc_computed;  // 0 not yet, else one of kMusicCrc...
    uint16_t tag_crc;
    uint8_t reserved_694[2];
};
static_assert(sizeof(VbrHeaderBlock) == 128);

constexpr int kVbriTableCapacity = 511;

struct VbriBlock {
    uint16_t version;
    uint16_t delay;
    uint16_t quality;
    uint8_t reserved_706[2];
    uint32_t bytes;
    uint32_t frames;
    uint16_t table_entries;
    uint16_t table_scale;
    uint16_t entry_size;
    uint16_t frames_per_entry;
    uint16_t table[kVbriTableCapacity];
    uint8_t reserved_1746[2];  // keeps the block a multiple of four bytes
};
static_assert(sizeof(VbriBlock) == 1048);

// The per-file analysis result. It is a byte image: the cache stores it as is,
// so every field sits at a fixed offset and the integers are little-endian in
// the image (see ToImage / FromImage).
struct ScanRecord {
    int32_t kind;  // file type code: 1 MPEG audio, 4 MPEG Plus
    int32_t id3v1_present;
    int32_t id3v2_present;
    Id3v1Tag id3v1;  // genre byte 255 when there is no tag
    int32_t id3v2_size;
    int32_t quality_class;
    char encoder_text[32];
    uint32_t bitrate_index_counts[16];
    uint32_t long_blocks;  // granule-channels
    uint32_t short_blocks;
    uint32_t mixed_blocks;
    uint32_t stereo_type_counts[4];  // joint-stereo frames by mode extension
    int32_t frames;
    float length_seconds;
    uint32_t file_size;
    int32_t sample_rate;  // reference, updated when the file changes rate
    int32_t is_mpeg1;
    int32_t not_mpeg25;
    int32_t channels;  // reference, updated when the file changes channel count
    int32_t layer;
    int32_t mode;
    int32_t max_reservoir;
    int32_t average_reservoir;
    int64_t reservoir_sum;
    int32_t sync_errors;
    // WAVE files keep their format tag and sample width here (WaveFormatTag);
    // MPEG audio files larger than file_size holds the low 32 bits of their
    // size (RecordFileSize).
    uint8_t kind_fields[4];
    int64_t sync_error_times_ms[kMaxStoredSyncErrors];
    // Bytes of the file that are not audio: before the first frame, after the
    // last one, tags at either end. The average bitrate and an estimated
    // length count only the rest.
    uint32_t non_audio_bytes;
    // The length of a whole walk over frames of more than one duration (a
    // change of sample rate or layer); 0 when every frame lasts as long as
    // the first.
    float walked_seconds;
    int32_t padding_used;
    int32_t scfsi_used;
    int32_t scalefac_scale_count;
    int32_t copyright;
    int32_t original;
    int32_t is_vbr;
    int32_t has_cue_sheet;
    int32_t last_frame_complete;
    int32_t whole_file_scanned;
    int32_t first_frame_offset;
    int32_t emphasis;
    int32_t average_bitrate;  // kbit/s
    uint8_t tail_bytes[10];
    uint8_t reserved_562[2];
    int32_t has_xing;
    VbrHeaderBlock xing;
    int32_t has_vbri;
    VbriBlock vbri;
    int32_t mpc_stream_version;
    int32_t mpc_profile;
    char path[kRecordPathCapacity];
    RecordFileStatus status;
    // The high 32 bits of the size of an MPEG audio file larger than
    // file_size holds; zero for every smaller file, so their records are
    // those they always were.
    uint8_t large_size_high[4];
};

static_assert(sizeof(ScanRecord) == kScanRecordSize);
static_assert(offsetof(ScanRecord, kind) == 0);
static_assert(offsetof(ScanRecord, id3v1_present) == 4);
static_assert(offsetof(ScanRecord, id3v2_present) == 8);
static_assert(offsetof(ScanRecord, id3v1) == 12);
static_assert(offsetof(ScanRecord, id3v1.track) == 140);
static_assert(offsetof(ScanRecord, id3v2_size) == 144);
static_assert(offsetof(ScanRecord, quality_class) == 148);
static_assert(offsetof(ScanRecord, encoder_text) == 152);
static_assert(offsetof(ScanRecord, bitrate_index_counts) == 184);
static_assert(offsetof(ScanRecord, long_blocks) == 248);
static_assert(offsetof(ScanRecord, short_blocks) == 252);
static_assert(offsetof(ScanRecord, mixed_blocks) == 256);
static_assert(offsetof(ScanRecord, stereo_type_counts) == 260);
static_assert(offsetof(ScanRecord, frames) == 276);
static_assert(offsetof(ScanRecord, length_seconds) == 280);
static_assert(offsetof(ScanRecord, file_size) == 284);
static_assert(offsetof(ScanRecord, sample_rate) == 288);
static_assert(offsetof(ScanRecord, is_mpeg1) == 292);
static_assert(offsetof(ScanRecord, not_mpeg25) == 296);
static_assert(offsetof(ScanRecord, channels) == 300);
static_assert(offsetof(ScanRecord, layer) == 304);
static_assert(offsetof(ScanRecord, mode) == 308);
static_assert(offsetof(ScanRecord, max_reservoir) == 312);
static_assert(offsetof(ScanRecord, average_reservoir) == 316);
static_assert(offsetof(ScanRecord, reservoir_sum) == 320);
static_assert(offsetof(ScanRecord, sync_errors) == 328);
static_assert(offsetof(ScanRecord, kind_fields) == 332);
static_assert(offsetof(ScanRecord, sync_error_times_ms) == 336);
static_assert(offsetof(ScanRecord, non_audio_bytes) == 496);
static_assert(offsetof(ScanRecord, walked_seconds) == 500);
static_assert(offsetof(ScanRecord, padding_used) == 504);
static_assert(offsetof(ScanRecord, scfsi_used) == 508);
static_assert(offsetof(ScanRecord, scalefac_scale_count) == 512);
static_assert(offsetof(ScanRecord, copyright) == 516);
static_assert(offsetof(ScanRecord, original) == 520);
static_assert(offsetof(ScanRecord, is_vbr) == 524);
static_assert(offsetof(ScanRecord, has_cue_sheet) == 528);
static_assert(offsetof(ScanRecord, last_frame_complete) == 532);
static_assert(offsetof(ScanRecord, whole_file_scanned) == 536);
static_assert(offsetof(ScanRecord, first_frame_offset) == 540);
static_assert(offsetof(ScanRecord, emphasis) == 544);
static_assert(offsetof(ScanRecord, average_bitrate) == 548);
static_assert(offsetof(ScanRecord, tail_bytes) == 552);
static_assert(offsetof(ScanRecord, reserved_562) == 562);
static_assert(offsetof(ScanRecord, has_xing) == 564);
static_assert(offsetof(ScanRecord, xing) == 568);
static_assert(offsetof(ScanRecord, xing.is_mpeg1) == 568);
static_assert(offsetof(ScanRecord, xing.sample_rate) == 572);
static_assert(offsetof(ScanRecord, xing.flags) == 576);
static_assert(offsetof(ScanRecord, xing.frames) == 580);
static_assert(offsetof(ScanRecord, xing.bytes) == 584);
static_assert(offsetof(ScanRecord, xing.vbr_scale) == 588);
static_assert(offsetof(ScanRecord, xing.reserved_592) == 592);
static_assert(offsetof(ScanRecord, xing.lame_version) == 596);
static_assert(offsetof(ScanRecord, xing.reserved_606) == 606);
static_assert(offsetof(ScanRecord, xing.has_lame_tag) == 608);
static_assert(offsetof(ScanRecord, xing.music_crc_ok) == 612);
static_assert(offsetof(ScanRecord, xing.tag_revision) == 616);
static_assert(offsetof(ScanRecord, xing.vbr_method) == 617);
static_assert(offsetof(ScanRecord, xing.reserved_618) == 618);
static_assert(offsetof(ScanRecord, xing.lowpass) == 620);
static_assert(offsetof(ScanRecord, xing.peak_amplitude) == 624);
static_assert(offsetof(ScanRecord, xing.radio_gain_name) == 628);
static_assert(offsetof(ScanRecord, xing.radio_gain_originator) == 632);
static_assert(offsetof(ScanRecord, xing.radio_gain_adjustment) == 636);
static_assert(offsetof(ScanRecord, xing.audiophile_gain_name) == 640);
static_assert(offsetof(ScanRecord, xing.audiophile_gain_originator) == 644);
static_assert(offsetof(ScanRecord, xing.audiophile_gain_adjustment) == 648);
static_assert(offsetof(ScanRecord, xing.encoding_flags) == 652);
static_assert(offsetof(ScanRecord, xing.ath_type) == 653);
static_assert(offsetof(ScanRecord, xing.abr_bitrate) == 654);
static_assert(offsetof(ScanRecord, xing.delay_padding) == 655);
static_assert(offsetof(ScanRecord, xing.mp3_gain) == 658);
static_assert(offsetof(ScanRecord, xing.reserved_661) == 661);
static_assert(offsetof(ScanRecord, xing.header_frame_length) == 664);
static_assert(offsetof(ScanRecord, xing.noise_shaping) == 668);
static_assert(offsetof(ScanRecord, xing.stereo_mode) == 669);
static_assert(offsetof(ScanRecord, xing.reserved_670) == 670);
static_assert(offsetof(ScanRecord, xing.unwise_settings) == 672);
static_assert(offsetof(ScanRecord, xing.source_frequency) == 676);
static_assert(offsetof(ScanRecord, xing.reserved_677) == 677);
static_assert(offsetof(ScanRecord, xing.music_length) == 680);
static_assert(offsetof(ScanRecord, xing.music_crc) == 684);
static_assert(offsetof(ScanRecord, xing.reserved_686) == 686);
static_assert(offsetof(ScanRecord, xing.music_crc_computed) == 688);
static_assert(offsetof(ScanRecord, xing.tag_crc) == 692);
static_assert(offsetof(ScanRecord, xing.reserved_694) == 694);
static_assert(offsetof(ScanRecord, has_vbri) == 696);
static_assert(offsetof(ScanRecord, vbri) == 700);
static_assert(offsetof(ScanRecord, vbri.version) == 700);
static_assert(offsetof(ScanRecord, vbri.delay) == 702);
static_assert(offsetof(ScanRecord, vbri.quality) == 704);
static_assert(offsetof(ScanRecord, vbri.reserved_706) == 706);
static_assert(offsetof(ScanRecord, vbri.bytes) == 708);
static_assert(offsetof(ScanRecord, vbri.frames) == 712);
static_assert(offsetof(ScanRecord, vbri.table_entries) == 716);
static_assert(offsetof(ScanRecord, vbri.table_scale) == 718);
static_assert(offsetof(ScanRecord, vbri.entry_size) == 720);
static_assert(offsetof(ScanRecord, vbri.frames_per_entry) == 722);
static_assert(offsetof(ScanRecord, vbri.table) == 724);
static_assert(offsetof(ScanRecord, vbri.reserved_1746) == 1746);
static_assert(offsetof(ScanRecord, mpc_stream_version) == 1748);
static_assert(offsetof(ScanRecord, mpc_profile) == 1752);
static_assert(offsetof(ScanRecord, path) == 1756);
static_assert(offsetof(ScanRecord, status) == 2016);
static_assert(offsetof(ScanRecord, status.device) == 2016);
static_assert(offsetof(ScanRecord, status.serial) == 2020);
static_assert(offsetof(ScanRecord, status.mode) == 2022);
static_assert(offsetof(ScanRecord, status.link_count) == 2024);
static_assert(offsetof(ScanRecord, status.user_id) == 2026);
static_assert(offsetof(ScanRecord, status.group_id) == 2028);
static_assert(offsetof(ScanRecord, status.raw_device) == 2032);
static_assert(offsetof(ScanRecord, status.size) == 2036);
static_assert(offsetof(ScanRecord, status.access_time) == 2040);
static_assert(offsetof(ScanRecord, status.modification_time) == 2044);
static_assert(offsetof(ScanRecord, status.change_time) == 2048);
static_assert(offsetof(ScanRecord, large_size_high) == 2052);

using ScanRecordImage = std::array<uint8_t, kScanRecordSize>;

// A record whose bytes are all zero, as the scanner expects to be given.
ScanRecord ZeroRecord();

// The little-endian byte image of a record and back, whatever the host's byte order.
ScanRecordImage ToImage(const ScanRecord& record);
ScanRecord FromImage(std::span<const uint8_t, kScanRecordSize> image);

// Zero-terminated text fields of the record.
std::string_view RecordPath(const ScanRecord& record);
std::string_view EncoderText(const ScanRecord& record);
std::string_view LameVersion(const ScanRecord& record);

// Whether the path fits the record's path field whole. A longer one would be
// cut, and two files whose paths share the first 259 bytes would then look
// alike: such files are never cached.
inline bool FitsRecordPath(std::string_view path) {
    return path.size() < kRecordPathCapacity;
}

// Stores an MPEG audio file's size: file_size saturated, and the whole size
// beside it when it is larger than file_size holds.
void StoreMpegFileSize(ScanRecord& record, uint64_t size);
// The file's size: that of an MPEG audio file in full, even beyond what
// file_size holds; of other kinds (and of records made before the whole size
// was kept) file_size.
uint64_t RecordFileSize(const ScanRecord& record);

// The bytes of the file that are audio: its size less non_audio_bytes (the
// whole file when that would leave nothing).
uint64_t RecordAudioBytes(const ScanRecord& record);

// Copies at most capacity - 1 bytes of text and zero-fills the rest of the field.
void CopyTextField(std::span<char> field, std::string_view text);

// Fills the status field from stat() of the path; leaves it zero when that fails.
void FillFileStatus(RecordFileStatus& status, const std::string& path);

}  // namespace vandrel
