#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/FileChecks.h"
#include "engine/core/ScanRecord.h"
#include "engine/tags/VbrHeaders.h"

namespace vandrel {

// The display texts of one file, one per slot. Slots are named by their
// position in the record (0, 28, 56, ... 1456), which is how the attribute
// catalog refers to them.
constexpr int kSlotStep = 28;
constexpr int kSlotCount = 62;

enum Slot : int {
    kSlotGeneralType = 0,
    kSlotName = 56,
    kSlotEncoder = 84,
    kSlotLength = 112,
    kSlotStereoMode = 140,
    kSlotScalefac = 168,
    kSlotEmphasis = 196,
    kSlotBitrate = 224,
    kSlotType = 252,
    kSlotSize = 280,
    kSlotFrames = 308,
    kSlotFrequency = 336,
    kSlotMaxReservoir = 364,
    kSlotAvReservoir = 392,
    kSlotFirstFrame = 420,
    kSlotId3v2Size = 448,
    kSlotBadLastFrame = 476,
    kSlotVbr = 504,
    kSlotLameTag = 532,
    kSlotCueSheet = 560,
    kSlotSyncErrors = 588,
    kSlotTitle = 616,
    kSlotAlbum = 644,
    kSlotArtist = 672,
    kSlotGenre = 700,
    kSlotYear = 728,
    kSlotComment = 756,
    kSlotTrack = 784,
    kSlotMpcStream = 812,
    kSlotMpcProfile = 840,
    kSlotQuality = 868,
    // The LAME tag texts, in their usual order.
    kSlotLameQuality = 896,
    kSlotLameRevision = 924,
    kSlotLameVbrMethod = 952,
    kSlotLameLowpass = 980,
    kSlotLamePsychoModel = 1008,
    kSlotLameSafeJoint = 1036,
    kSlotLameNogapContinued = 1064,
    kSlotLameNogapContinuation = 1092,
    kSlotLameAthType = 1120,
    kSlotLameAbrBitrate = 1148,
    kSlotLameNoiseShaping = 1176,
    kSlotLameUnwise = 1204,
    kSlotLameInputFrequency = 1232,
    kSlotLameStereoMode = 1260,
    // The replay gain texts.
    kSlotPeak = 1288,
    kSlotRadioName = 1316,
    kSlotRadioOriginator = 1344,
    kSlotRadioAdjustment = 1372,
    kSlotAudiophileName = 1400,
    kSlotAudiophileOriginator = 1428,
    kSlotAudiophileAdjustment = 1456,
    // The integrity checks' texts.
    kSlotProblems = 1484,
    kSlotCrcErrors = 1512,
    kSlotBandwidth = 1540,
    kSlotUpscaled = 1568,
    // The length texts: the encoder's delay and padding from the LAME tag,
    // the exact length of the audio, and the length players show before
    // reading the file (from the checks, like the checks' texts).
    kSlotDelay = 1596,
    kSlotPadding = 1624,
    kSlotExactLength = 1652,
    kSlotShownLength = 1680,
    // The hash of the audio frames (from the checks).
    kSlotAudioHash = 1708,
};

class AttributeTexts {
public:
    std::string& operator[](int slot) { return texts_[Index(slot)]; }
    const std::string& operator[](int slot) const { return texts_[Index(slot)]; }
    bool operator==(const AttributeTexts&) const = default;

private:
    static size_t Index(int slot) { return static_cast<size_t>(slot / kSlotStep); }
    std::array<std::string, kSlotCount> texts_;
};

// Quality classes.
constexpr int kQualityBad = 0;
constexpr int kQualityOk = 1;
constexpr int kQualityGood = 2;
// No estimate (a file the bitrate tables do not judge): its cell is not coloured.
constexpr int kQualityNone = -1;

// What a record says of its file before any text is made of it.
struct RecordVerdict {
    std::string encoder;  // as the Encoder column names it (UTF-8)
    // False when the frames read named no encoder ("Unknown"); a walk of
    // more of them may.
    bool encoder_named = true;
    int quality_class = kQualityNone;
};

// The encoder and the quality class of the record's file. `mono_quality`
// doubles the quality per bitrate of mono files.
RecordVerdict JudgeRecord(const ScanRecord& record, bool mono_quality);

// Fills every slot but the name (which the caller sets) and the checks'
// from the record and its verdict. The texts are UTF-8.
void FillAttributeTexts(AttributeTexts& texts, const ScanRecord& record,
                        const RecordVerdict& verdict);

// Both of the above: fills the texts and returns the file's quality class.
int BuildAttributeTexts(AttributeTexts& texts, const ScanRecord& record, bool mono_quality);

// The WAVE versions of the texts the MPEG ones would leave wrong; returns
// kQualityNone. The slots every file fills alike (length, size, bitrate,
// frequency) are left as they are.
int FillWaveTexts(const ScanRecord& record, AttributeTexts& texts);

// The texts a file shows when its scan failed: no length, "--" for encoder,
// bitrate, size and stereo mode, "Unknown" quality.
void ApplyScanFailureTexts(AttributeTexts& texts, ScanRecord& record);

// "hh:mm:ss", with the tenths of a second under ten seconds ("00:00:05.3").
std::string FormatLength(float seconds);
// "hh:mm:ss.mmm", rounded to the millisecond: "00:03:25.317".
std::string FormatExactLength(double seconds);
// The audio's length from a walk of the whole file: the samples of its
// frames (the Xing or VBRI header's frame left out) less the encoder delay
// and padding of the LAME tag, at the sample rate. Nothing when the walk did
// not cover the file, the frames change their duration, or the delay and
// padding are more than the frames hold.
std::optional<double> ExactLengthSeconds(const ScanRecord& record);
// The same less the delay and padding `gap` gives (none: the whole frames).
std::optional<double> ExactLengthSeconds(const ScanRecord& record,
                                         const std::optional<EncoderGap>& gap);
// The encoder delay and padding: the LAME tag's, else those of an iTunSMPB
// comment in the ID3v2 tag, which a walk found.
std::optional<EncoderGap> EncoderGapOf(const ScanRecord& record, const FileChecks& checks);

// Decimal with "," between groups of three digits ("1,500,000,000"); "+"
// after a size the record could not hold whole.
std::string FormatFileSize(uint32_t size);

}  // namespace vandrel
