#include "engine/verdicts/AttributeTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/frame/FrameHeader.h"
#include "engine/io/TextEncoding.h"
#include "engine/media/WaveFile.h"
#include "engine/tags/Id3Tag.h"
#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/EncoderId.h"
#include "engine/verdicts/Quality.h"

namespace vandrel {

namespace {

std::string YesNo(int32_t value) {
    return value != 0 ? "yes" : "no";
}

std::string EmphasisText(int emphasis) {
    switch (emphasis) {
    case 0:
        return "none";
    case 1:
        return "50/15ms";
    case 2:
    case 3:
        return "CCITT";
    default:
        return {};
    }
}

// "mpeg 1 layer III", "mpeg 2.5 layer II", ...
std::string TypeText(const ScanRecord& r) {
    std::string text = r.is_mpeg1 == 1 ? "mpeg 1" : "mpeg 2";
    if (r.not_mpeg25 == 0) {
        text += ".5";
    }
    text += " layer ";
    text.append(static_cast<size_t>(std::clamp(r.layer, 0, 3)), 'I');
    return text;
}

std::string ScalefacText(const ScanRecord& r) {
    if (r.scalefac_scale_count == 0 || r.frames == 0) {
        return "not used";
    }
    const double channels = r.channels == 0 ? 2 : r.channels;
    const double granules = r.is_mpeg1 == 1 ? 2 : 1;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f%%",
                  r.scalefac_scale_count * 100.0 / (r.frames * channels * granules));
    return buffer;
}

void FillLameTexts(const ScanRecord& record, AttributeTexts& texts) {
    const LameTagTextSet lame = LameTagTexts(record);
    const std::string* lame_texts[] = {&lame.vbr_scale,
                                       &lame.tag_revision,
                                       &lame.vbr_method,
                                       &lame.lowpass,
                                       &lame.psycho_acoustic_model,
                                       &lame.safe_joint_stereo,
                                       &lame.nogap_continued,
                                       &lame.nogap_continuation,
                                       &lame.ath_type,
                                       &lame.abr_bitrate,
                                       &lame.noise_shaping,
                                       &lame.unwise_settings,
                                       &lame.source_frequency,
                                       &lame.stereo_mode};
    int slot = kSlotLameQuality;
    for (const std::string* text : lame_texts) {
        texts[slot] = *text;
        slot += kSlotStep;
    }
    const ReplayGainTextSet gain = ReplayGainTexts(record);
    const std::string* gain_texts[] = {&gain.peak,
                                       &gain.radio_name,
                                       &gain.radio_originator,
                                       &gain.radio_adjustment,
                                       &gain.audiophile_name,
                                       &gain.audiophile_originator,
                                       &gain.audiophile_adjustment};
    for (const std::string* text : gain_texts) {
        texts[slot] = *text;
        slot += kSlotStep;
    }
}

void FillId3v1Texts(const ScanRecord& record, AttributeTexts& texts) {
    const std::span<const uint8_t, kId3v1Size> image(record.id3v1.image);
    texts[kSlotTitle] = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Title));
    texts[kSlotArtist] = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Artist));
    texts[kSlotAlbum] = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Album));
    texts[kSlotComment] = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Comment));
    texts[kSlotYear] = Latin1ToUtf8(Id3v1FieldText(image, kId3v1Year));
    if (record.id3v1_present != 0) {
        texts[kSlotTrack] = std::to_string(record.id3v1.track);
        texts[kSlotGenre] = GenreName(record.id3v1.image[kId3v1GenreByte]);
    }
}

// "PCM", "ADPCM", ... or the tag itself ("format 0x0055").
std::string WaveFormatName(uint16_t format_tag) {
    switch (format_tag) {
    case kWaveFormatPcm:
        return "PCM";
    case kWaveFormatMsAdpcm:
    case kWaveFormatImaAdpcm:
        return "ADPCM";
    case kWaveFormatIeeeFloat:
        return "IEEE float";
    case kWaveFormatAlaw:
        return "A-law";
    case kWaveFormatMulaw:
        return "mu-law";
    default: {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "format 0x%04X", format_tag);
        return buffer;
    }
    }
}

std::string ChannelCountText(int32_t channels) {
    if (channels == 1) {
        return "mono";
    }
    if (channels == 2) {
        return "stereo";
    }
    return channels > 2 ? std::to_string(channels) + " channels" : "--";
}

// Delay, Padding and Exact Length of an MPEG audio file; Shown Length comes
// from the checks (FillCheckTexts).
void FillLengthTexts(const ScanRecord& record, AttributeTexts& texts) {
    const std::optional<EncoderGap> gap = LameEncoderGap(record);
    texts[kSlotDelay] = gap ? std::to_string(gap->delay) : std::string();
    texts[kSlotPadding] = gap ? std::to_string(gap->padding) : std::string();
    const std::optional<double> seconds = ExactLengthSeconds(record);
    texts[kSlotExactLength] = seconds ? FormatExactLength(*seconds) : std::string();
}

}  // namespace

std::string FormatExactLength(double seconds) {
    const long long ms = std::isfinite(seconds) && seconds > 0 ? std::llround(seconds * 1000) : 0;
    const long long whole = ms / 1000;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld.%03lld", whole / 3600,
                  (whole / 60) % 60, whole % 60, ms % 1000);
    return buffer;
}

std::optional<double> ExactLengthSeconds(const ScanRecord& record) {
    return ExactLengthSeconds(record, LameEncoderGap(record));
}

std::optional<EncoderGap> EncoderGapOf(const ScanRecord& record, const FileChecks& checks) {
    if (std::optional<EncoderGap> lame = LameEncoderGap(record)) {
        return lame;
    }
    if (checks.itunes_gap == 0) {
        return std::nullopt;
    }
    return EncoderGap{static_cast<int>(checks.itunes_delay),
                      static_cast<int>(checks.itunes_padding)};
}

std::optional<double> ExactLengthSeconds(const ScanRecord& record,
                                         const std::optional<EncoderGap>& gap) {
    if (record.whole_file_scanned == 0 || record.walked_seconds > 0.0f || record.frames <= 0 ||
        record.sample_rate <= 0) {
        return std::nullopt;
    }
    // The header frame holds no audio: decoders that know it skip it.
    const int64_t header_frames = record.has_xing != 0 || record.has_vbri != 0 ? 1 : 0;
    int64_t samples =
        (record.frames - header_frames) * int64_t{SamplesPerFrame(record.is_mpeg1, record.layer)};
    if (gap) {
        samples -= int64_t{gap->delay} + gap->padding;
    }
    if (samples < 0) {
        return std::nullopt;
    }
    return static_cast<double>(samples) / record.sample_rate;
}

std::string FormatLength(float seconds) {
    // A damaged record's length (negative, not a number) shows as nothing.
    const double value = std::isfinite(seconds) && seconds > 0 ? seconds : 0.0;
    const long long whole = static_cast<long long>(value);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", whole / 3600, (whole / 60) % 60,
                  whole % 60);
    std::string text = buffer;
    if (whole < 10) {
        text += '.';
        text +=
            static_cast<char>('0' + static_cast<int>((value - static_cast<double>(whole)) * 10));
    }
    return text;
}

std::string FormatFileSize(uint32_t size) {
    std::string digits = std::to_string(size);
    // A "," before every group of three digits, counted from the right.
    for (size_t group_start = digits.size(); group_start > 3;) {
        group_start -= 3;
        digits.insert(group_start, 1, ',');
    }
    if (size == kRecordSizeLimit) {
        digits += '+';  // the record holds no more: the file is at least this big
    }
    return digits;
}

RecordVerdict JudgeRecord(const ScanRecord& record, bool mono_quality) {
    if (record.kind == kWaveFileKind) {
        return {"--", true, kQualityNone};
    }
    if (record.mpc_stream_version != 0) {
        return JudgeMpegPlus(record, mono_quality);
    }
    EncoderName encoder = NameEncoder(record);
    RecordVerdict verdict{Latin1ToUtf8(encoder.name), encoder.named, kQualityNone};
    verdict.quality_class =
        EstimateQuality(verdict.encoder, ChannelModeName(record.mode), record, mono_quality);
    return verdict;
}

int BuildAttributeTexts(AttributeTexts& texts, const ScanRecord& record, bool mono_quality) {
    const RecordVerdict verdict = JudgeRecord(record, mono_quality);
    FillAttributeTexts(texts, record, verdict);
    return verdict.quality_class;
}

void FillAttributeTexts(AttributeTexts& texts, const ScanRecord& record,
                        const RecordVerdict& verdict) {
    texts[kSlotGeneralType] = GeneralTypeText(record);
    FillLameTexts(record, texts);
    texts[kSlotLength] = FormatLength(record.length_seconds);
    texts[kSlotFrames] = record.frames == 0 ? " "
                                            : std::to_string(record.frames) +
                                                  (record.whole_file_scanned == 0 ? "+" : "");
    texts[kSlotSize] = FormatFileSize(record.file_size);
    texts[kSlotStereoMode] = ChannelModeName(record.mode);
    texts[kSlotBitrate] = std::to_string(record.average_bitrate);
    texts[kSlotFrequency] = std::to_string(record.sample_rate);
    texts[kSlotFirstFrame] = std::to_string(record.first_frame_offset);

    if (record.kind == kWaveFileKind) {
        FillWaveTexts(record, texts);
        return;
    }
    if (record.mpc_stream_version != 0) {
        FillMpegPlusTexts(record, verdict, texts);
        return;
    }

    texts[kSlotMpcStream] = "--";
    texts[kSlotMpcProfile] = "--";
    FillId3v1Texts(record, texts);
    texts[kSlotId3v2Size] = std::to_string(record.id3v2_size);
    if (Id3v2SizeRunsPastEnd(record)) {
        texts[kSlotId3v2Size] += " (runs past the end of the file)";
    }
    texts[kSlotVbr] = YesNo(record.is_vbr);
    texts[kSlotCueSheet] = YesNo(record.has_cue_sheet);
    texts[kSlotLameTag] = YesNo(record.xing.has_lame_tag);
    texts[kSlotType] = TypeText(record);
    texts[kSlotScalefac] = ScalefacText(record);
    texts[kSlotEmphasis] = EmphasisText(record.emphasis);
    texts[kSlotEncoder] = verdict.encoder;
    if (texts[kSlotEncoder].find("RCA") != std::string::npos ||
        texts[kSlotEncoder].find("Thomson") != std::string::npos) {
        texts[kSlotType] += " (mp3pro)";
    }
    texts[kSlotBadLastFrame] = record.last_frame_complete == 1 ? "no" : "yes";
    texts[kSlotMaxReservoir] = std::to_string(record.max_reservoir);
    texts[kSlotAvReservoir] = std::to_string(record.average_reservoir);
    texts[kSlotSyncErrors] = std::to_string(record.sync_errors);
    texts[kSlotQuality] = QualityText(verdict.quality_class);
    FillLengthTexts(record, texts);
}

int FillWaveTexts(const ScanRecord& record, AttributeTexts& texts) {
    texts[kSlotGeneralType] = "WAVE";
    texts[kSlotType] = "wave " + WaveFormatName(WaveFormatTag(record));
    texts[kSlotStereoMode] = ChannelCountText(record.channels);
    texts[kSlotEncoder] = "--";
    // A WAVE file's own tags are not read: its tag texts are empty, as those
    // of an MPEG file without a tag are.
    for (int slot :
         {kSlotTitle, kSlotArtist, kSlotAlbum, kSlotComment, kSlotYear, kSlotTrack, kSlotGenre}) {
        texts[slot].clear();
    }
    // "--" where a value means something only in an MPEG stream: frames and
    // their faults, the reservoir, the headers and tags around the frames, the
    // LAME tag and its replay gain, MPEG Plus, and a quality judged against
    // the MPEG bitrate tables. A "0" or "no" there would be a finding; this
    // says there was nothing to look at.
    for (int slot :
         {kSlotFrames, kSlotSyncErrors, kSlotBadLastFrame, kSlotVbr, kSlotLameTag, kSlotCueSheet,
          kSlotMaxReservoir, kSlotAvReservoir, kSlotFirstFrame, kSlotId3v2Size, kSlotScalefac,
          kSlotEmphasis, kSlotMpcStream, kSlotMpcProfile, kSlotQuality}) {
        texts[slot] = "--";
    }
    for (int slot = kSlotLameQuality; slot <= kSlotAudiophileAdjustment; slot += kSlotStep) {
        texts[slot] = "--";
    }
    return kQualityNone;
}

void ApplyScanFailureTexts(AttributeTexts& texts, ScanRecord& record) {
    record.length_seconds = 0.0f;
    for (int slot : {kSlotEncoder, kSlotBitrate, kSlotSize, kSlotStereoMode}) {
        texts[slot] = "--";
    }
    texts[kSlotQuality] = "Unknown";
}

}  // namespace vandrel
