#include "cli/Json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/io/TextEncoding.h"
#include "engine/tags/Id3Tag.h"

namespace vandrel::cli {

size_t Utf8SequenceLength(std::string_view s) {
    const auto b = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t lead = b(0);
    size_t length;
    uint32_t min_value;
    uint32_t value;
    if (lead < 0x80) {
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        min_value = 0x80;
        value = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        min_value = 0x800;
        value = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        min_value = 0x10000;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (s.size() < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((b(i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (b(i) & 0x3Fu);
    }
    if (value < min_value || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            return false;
        }
        text.remove_prefix(length);
    }
    return true;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text[0]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            const size_t length = Utf8SequenceLength(text);
            if (length == 0) {
                out += "\xEF\xBF\xBD";  // U+FFFD
                text.remove_prefix(1);
                continue;
            }
            out.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        text.remove_prefix(1);
    }
    out += '"';
}

std::string HexBytes(const uint8_t* bytes, size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

void JsonOut::NewLine() {
    out_ += '\n';
    out_.append(levels_.size() * 2, ' ');
}

void JsonOut::BeforeValue() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (levels_.empty()) {
        return;
    }
    Level& level = levels_.back();
    if (!level.empty) {
        out_ += level.compact ? ", " : ",";
    }
    level.empty = false;
    if (!level.compact) {
        NewLine();
    }
}

void JsonOut::BeginObject() {
    BeforeValue();
    out_ += '{';
    levels_.push_back({one_line_, true});
}

void JsonOut::EndObject() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (!level.empty && !level.compact) {
        NewLine();
    }
    out_ += '}';
}

void JsonOut::BeginArray(bool compact) {
    BeforeValue();
    out_ += '[';
    levels_.push_back({compact || one_line_, true});
}

void JsonOut::EndArray() {
    const Level level = levels_.back();
    levels_.pop_back();
    if (!level.empty && !level.compact) {
        NewLine();
    }
    out_ += ']';
}

void JsonOut::Key(std::string_view key) {
    BeforeValue();
    AppendJsonString(out_, key);
    out_ += ": ";
    after_key_ = true;
}

void JsonOut::String(std::string_view text) {
    BeforeValue();
    AppendJsonString(out_, text);
}

void JsonOut::Int(int64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
}

void JsonOut::Float(float value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        out_ += "null";  // JSON has no infinities
        return;
    }
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, ec == std::errc() ? end : buffer);
}

void JsonOut::Null() {
    BeforeValue();
    out_ += "null";
}

namespace {

template <typename T, size_t N>
void IntArray(JsonOut& json, const T (&values)[N], size_t count = N) {
    json.BeginArray(true);
    for (size_t i = 0; i < count && i < N; ++i) {
        json.Int(static_cast<int64_t>(values[i]));
    }
    json.EndArray();
}

void Field(JsonOut& json, std::string_view key, int64_t value) {
    json.Key(key);
    json.Int(value);
}

void WriteId3v1Json(JsonOut& json, const ScanRecord& r) {
    const std::span<const uint8_t, kId3v1Size> image(r.id3v1.image);
    const auto text = [&](std::string_view key, Id3v1Field field) {
        json.Key(key);
        json.String(Latin1ToUtf8(Id3v1FieldText(image, field)));
    };
    json.BeginObject();
    text("title", kId3v1Title);
    text("artist", kId3v1Artist);
    text("album", kId3v1Album);
    text("year", kId3v1Year);
    text("comment", kId3v1Comment);
    const int genre = r.id3v1.image[kId3v1GenreByte];
    Field(json, "genre", genre);
    json.Key("genre_name");
    json.String(GenreName(genre));
    Field(json, "track", r.id3v1.track);
    json.EndObject();
}

void WriteXingJson(JsonOut& json, const VbrHeaderBlock& x) {
    json.BeginObject();
    Field(json, "is_mpeg1", x.is_mpeg1);
    Field(json, "sample_rate", x.sample_rate);
    Field(json, "flags", x.flags);
    Field(json, "frames", x.frames);
    Field(json, "bytes", x.bytes);
    Field(json, "vbr_scale", x.vbr_scale);
    json.Key("lame_version");
    json.String(Latin1ToUtf8({x.lame_version, strnlen(x.lame_version, sizeof x.lame_version)}));
    Field(json, "has_lame_tag", x.has_lame_tag);
    Field(json, "music_crc_ok", x.music_crc_ok);
    Field(json, "tag_revision", x.tag_revision);
    Field(json, "vbr_method", x.vbr_method);
    Field(json, "lowpass", x.lowpass);
    Field(json, "radio_gain_name", x.radio_gain_name);
    Field(json, "radio_gain_originator", x.radio_gain_originator);
    Field(json, "radio_gain_adjustment", x.radio_gain_adjustment);
    Field(json, "audiophile_gain_name", x.audiophile_gain_name);
    Field(json, "audiophile_gain_originator", x.audiophile_gain_originator);
    Field(json, "audiophile_gain_adjustment", x.audiophile_gain_adjustment);
    Field(json, "encoding_flags", x.encoding_flags);
    Field(json, "ath_type", x.ath_type);
    Field(json, "abr_bitrate", x.abr_bitrate);
    json.Key("delay_padding");
    json.String(HexBytes(x.delay_padding, sizeof x.delay_padding));
    Field(json, "header_frame_length", x.header_frame_length);
    Field(json, "noise_shaping", x.noise_shaping);
    Field(json, "stereo_mode", x.stereo_mode);
    Field(json, "unwise_settings", x.unwise_settings);
    Field(json, "source_frequency", x.source_frequency);
    Field(json, "music_length", x.music_length);
    Field(json, "music_crc", x.music_crc);
    Field(json, "music_crc_computed", x.music_crc_computed);
    Field(json, "tag_crc", x.tag_crc);
    json.Key("peak_amplitude");
    json.Float(x.peak_amplitude);
    json.EndObject();
}

void WriteVbriJson(JsonOut& json, const VbriBlock& v) {
    json.BeginObject();
    Field(json, "version", v.version);
    Field(json, "delay", v.delay);
    Field(json, "quality", v.quality);
    Field(json, "bytes", v.bytes);
    Field(json, "frames", v.frames);
    Field(json, "table_entries", v.table_entries);
    Field(json, "table_scale", v.table_scale);
    Field(json, "entry_size", v.entry_size);
    Field(json, "frames_per_entry", v.frames_per_entry);
    json.Key("table");
    // The table is read only when its entry count fits the record.
    const size_t entries = v.table_entries <= kVbriTableCapacity ? v.table_entries : 0;
    IntArray(json, v.table, entries);
    json.EndObject();
}

}  // namespace

void WriteRecordJson(JsonOut& json, const ScanRecord& r) {
    json.BeginObject();
    Field(json, "kind", r.kind);
    Field(json, "id3v1_present", r.id3v1_present);
    Field(json, "id3v2_present", r.id3v2_present);
    json.Key("id3v1");
    WriteId3v1Json(json, r);
    Field(json, "id3v2_size", r.id3v2_size);
    Field(json, "quality_class", r.quality_class);
    json.Key("encoder_text");
    json.String(Latin1ToUtf8(EncoderText(r)));
    json.Key("bitrate_index_counts");
    IntArray(json, r.bitrate_index_counts);
    Field(json, "long_blocks", r.long_blocks);
    Field(json, "short_blocks", r.short_blocks);
    Field(json, "mixed_blocks", r.mixed_blocks);
    json.Key("stereo_type_counts");
    IntArray(json, r.stereo_type_counts);
    Field(json, "frames", r.frames);
    json.Key("length_seconds");
    json.Float(r.length_seconds);
    Field(json, "file_size", r.file_size);
    Field(json, "sample_rate", r.sample_rate);
    Field(json, "is_mpeg1", r.is_mpeg1);
    Field(json, "not_mpeg25", r.not_mpeg25);
    Field(json, "channels", r.channels);
    Field(json, "layer", r.layer);
    Field(json, "mode", r.mode);
    Field(json, "max_reservoir", r.max_reservoir);
    Field(json, "average_reservoir", r.average_reservoir);
    Field(json, "reservoir_sum", r.reservoir_sum);
    Field(json, "sync_errors", r.sync_errors);
    json.Key("sync_error_times_ms");
    IntArray(json, r.sync_error_times_ms,
             static_cast<size_t>(std::max(0, std::min(r.sync_errors, kMaxStoredSyncErrors))));
    Field(json, "padding_used", r.padding_used);
    Field(json, "scfsi_used", r.scfsi_used);
    Field(json, "scalefac_scale_count", r.scalefac_scale_count);
    Field(json, "copyright", r.copyright);
    Field(json, "original", r.original);
    Field(json, "is_vbr", r.is_vbr);
    Field(json, "has_cue_sheet", r.has_cue_sheet);
    Field(json, "last_frame_complete", r.last_frame_complete);
    Field(json, "whole_file_scanned", r.whole_file_scanned);
    Field(json, "first_frame_offset", r.first_frame_offset);
    Field(json, "emphasis", r.emphasis);
    Field(json, "average_bitrate", r.average_bitrate);
    json.Key("tail_bytes");
    json.String(HexBytes(r.tail_bytes, sizeof r.tail_bytes));
    Field(json, "has_xing", r.has_xing);
    json.Key("xing");
    WriteXingJson(json, r.xing);
    Field(json, "has_vbri", r.has_vbri);
    json.Key("vbri");
    WriteVbriJson(json, r.vbri);
    Field(json, "mpc_stream_version", r.mpc_stream_version);
    Field(json, "mpc_profile", r.mpc_profile);
    json.EndObject();
}

}  // namespace vandrel::cli
