#pragma once

#include <string>
#include <string_view>

#include "engine/core/ScanRecord.h"
#include "engine/verdicts/AttributeTexts.h"

namespace vandrel {

// The class an encoder's name puts it in: -1 for weak encoders, up to 3 for
// those that get good sound out of few bits.
int EncoderClass(std::string_view encoder);

// The least quality a LAME file's own setting stands for, whatever bitrate
// the music took: -V 0 to -V 2 and the presets standard and extreme (fast or
// not) and insane are lame's settings meant to sound as the source does,
// good; -V 3, -V 4 and medium (fast or not) are its step below, ok. Quiet music
// takes any of them far below the bitrates the thresholds expect. -1 when the
// file's LAME tag names no such setting.
int LameSettingQuality(const ScanRecord& record);

// Good, ok or bad, from the average bitrate against two thresholds of the
// bitrate table, shifted by the encoder's class; never below what the LAME
// tag's setting stands for (LameSettingQuality). `mode_text` is the stereo
// mode's text ("mono" with `mono_quality` counts a mono file double).
int EstimateQuality(std::string_view encoder, std::string_view mode_text, const ScanRecord& record,
                    bool mono_quality);

std::string_view QualityText(int quality_class);

// "MPEG Audio", "MPEG Plus" or "Unknown", from the record's file kind.
std::string_view GeneralTypeText(const ScanRecord& record);

// The verdict on an MPEG Plus file: the encoder its stream names (or the
// family's), and the quality the family's bitrates give.
RecordVerdict JudgeMpegPlus(const ScanRecord& record, bool mono_quality);

// The MPEG Plus versions of the attribute texts.
void FillMpegPlusTexts(const ScanRecord& record, const RecordVerdict& verdict,
                       AttributeTexts& texts);

}  // namespace vandrel
