#include "store/AttributeCatalog.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

#include "engine/io/ByteOrder.h"

namespace vandrel {

namespace {

constexpr Alignment L = Alignment::kLeft;
constexpr Alignment R = Alignment::kRight;
constexpr int kText = kSortByText;
constexpr int kNumber = kSortByNumberInText;

// id, name, description, group, alignment, sort field, text slot, width, scan
const std::vector<AttributeInfo> kCatalog = {
    {0, "Name", "Filename", "General", L, kText, 56, 300, false},
    {1, "Encoder", "Probable encoder used", "General", L, kText, 84, 200, true},
    {2, "Bitrate", "Bitrate (kbps)", "General", R, 548, 224, 50, true},
    {3, "Stereo Mode", "Stereo Mode", "General", L, kText, 140, 75, false},
    {4, "Length", "Mp3 duration (h:mm:ss)", "General", R, kFloatSortField, 112, 75, true},
    {5, "Size", "File size (bytes)", "General", R, 284, 280, 100, false},
    {6, "Bad Last Frame", "Is the last frame of the mp3 cut short?", "General", L, kText, 476, 100,
     false},
    {7, "Quality", "Estimate of file's quality", "General", L, 148, 868, 50, true},
    {8, "Freq. (Hz)", "Frequency of audio file", "General", R, 288, 336, 50, false},
    {9, "Frames", "Number of frames in file", "General", R, 276, 308, 50, true},
    {11, "Type", "Type of audio file", "General", L, kText, 252, 100, false},
    {12, "Vbr", "Is the file VBR?", "General", L, 524, 504, 30, true},
    {13, "Cue Sheet", "Is there am embedded CUE sheet?", "General", L, 528, 560, 50, false},
    {14, "Sync Errors", "Number of sync errors in file", "General", R, 328, 588, 50, true},
    {15, "General Type", "General type of audio file", "General", L, 0, 0, 80, false},
    {16, "Max. Reservoir", "Largest number of reservoir bytes used per frame", "General", R, 312,
     364, 100, true},
    {17, "Av. Reservoir", "Average number of reservoir bytes used per frame", "General", R, 316,
     392, 100, true},
    {18, "ID3v2 Tag Size", "Size of ID3v2 tag in bytes", "General", R, 144, 448, 50, false},
    {19, "First Frame Location", "Offset in file of first valid frame", "General", R, 540, 420, 50,
     false},
    {58, "Profile", "Profile (MpegPlus only)", "Mpeg Plus", L, kText, 840, 100, false},
    {59, "Mpeg Plus Stream", "Version of Mpeg Plus bit stream", "Mpeg Plus", L, 1748, 812, 100,
     false},
    {100, "Lame tag", "Is there a Lame VBR tag?", "Lame Tag", L, kText, 532, 100, false},
    {101, "Quality Index", "Measure of mp3 quality", "Lame Tag", R, 588, 896, 100, false},
    {102, "Tag Revision", "Version of Lame Tag", "Lame Tag", L, 616, 924, 100, false},
    {103, "VBR Method", "Type of VBR/CBR used", "Lame Tag", L, kText, 952, 100, false},
    {104, "Lowpass Filter", "Lowpass filter used when encoding", "Lame Tag", L, 620, 980, 100,
     false},
    {105, "Psycho-acoustic Model", "Were Tervane's psychoacoustics used?", "Lame Tag", L, kText,
     1008, 100, false},
    {106, "Safe Joint Stereo", "Was Tervane's 'safe joint stereo' used?", "Lame Tag", L, kText,
     1036, 100, false},
    {107, "nogap (continuation)", "Is this a successor in a nogap chain?", "Lame Tag", L, kText,
     1092, 100, false},
    {108, "nogap (continued)", "Is this a precursor in a nogap chain?", "Lame Tag", L, kText, 1064,
     100, false},
    {109, "AthType", "Absolute threshold of hearing formula number", "Lame Tag", R, kText, 1120,
     100, false},
    {110, "ABR Bitrate", "Bitrate target for ABR mode / min bitrate if not ABR", "Lame Tag", L,
     kText, 1148, 100, false},
    {111, "Unwise Settings", "Was the file encoded using unwise settings (such as --noshort)",
     "Lame Tag", L, kText, 1204, 100, false},
    {112, "Input Frequency", "Frequency of input file", "Lame Tag", R, kText, 1232, 100, false},
    {200, "Album", "Album containing track", "ID3v1", L, kText, 644, 200, false},
    {201, "Artist", "Artist according to tag", "ID3v1", L, kText, 672, 200, false},
    {202, "Title", "Title of track according to tag", "ID3v1", L, kText, 616, 200, false},
    {203, "Year", "Year of track", "ID3v1", R, kText, 728, 100, false},
    {204, "Track", "Track Number", "ID3v1", R, 140, 784, 100, false},
    {205, "Comment", "Comment contained in id3v1 tag", "ID3v1", L, kText, 756, 200, false},
    {206, "Genre", "Genre of track", "ID3v1", L, kText, 700, 200, false},
    {300, "Problems", "What is wrong with the file: damage, mismatched headers, upscaling",
     "Checks", L, kText, 1484, 200, true},
    {301, "CRC Errors", "Number of frames whose CRC does not match", "Checks", R, kNumber, 1512, 70,
     true},
    {302, "Bandwidth", "Bandwidth of the coded audio (kHz)", "Checks", R, kNumber, 1540, 70, true},
    {303, "Upscaled?", "Was the file probably encoded from a lower-bitrate source?", "Checks", L,
     kText, 1568, 70, true},
    {400, "Delay", "Encoder delay from the LAME tag or iTunSMPB (samples)", "Length", R, kNumber,
     1596, 60, false},
    {401, "Padding", "Encoder padding from the LAME tag or iTunSMPB (samples)", "Length", R,
     kNumber, 1624, 60, false},
    {402, "Exact Length", "Length of the audio to the sample, less delay and padding", "Length", R,
     kText, 1652, 90, true},
    {403, "Shown Length", "Length players show before reading the file", "Length", R, kText, 1680,
     90, false},
    {500, "Audio Hash", "Hash of the audio frames alone, the same whatever the tags", "Identity", L,
     kText, 1708, 130, false},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

const std::vector<AttributeInfo>& Catalog() {
    return kCatalog;
}

const AttributeInfo* FindAttribute(int32_t id) {
    const auto it = std::find_if(kCatalog.begin(), kCatalog.end(),
                                 [id](const AttributeInfo& a) { return a.id == id; });
    return it == kCatalog.end() ? nullptr : &*it;
}

const AttributeInfo* FindAttributeByName(std::string_view name) {
    const auto it = std::find_if(kCatalog.begin(), kCatalog.end(), [name](const AttributeInfo& a) {
        return CompareTextsIgnoringCase(a.name, name) == 0;
    });
    return it == kCatalog.end() ? nullptr : &*it;
}

const std::vector<int32_t>& DefaultColumnIds() {
    static const std::vector<int32_t> kDefault = {0, 1, 2, 9, 4, 5, 6, 7};
    return kDefault;
}

std::string GroupReport(std::string_view group, const AttributeTexts& texts) {
    std::string lines;
    for (const AttributeInfo& attribute : kCatalog) {
        const std::string& text = texts[attribute.text_slot];
        if (attribute.group == group && !text.empty()) {
            lines += "  " + std::string(attribute.name) + ": " + text + "\n";
        }
    }
    return lines.empty() ? lines : std::string(group) + ":\n" + lines;
}

bool AnyScanDependent(const std::vector<int32_t>& ids) {
    return std::any_of(ids.begin(), ids.end(), [](int32_t id) {
        const AttributeInfo* a = FindAttribute(id);
        return a != nullptr && a->scan_dependent;
    });
}

int CompareTextsIgnoringCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(Lower(a[i]));
        const auto cb = static_cast<unsigned char>(Lower(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

double SortNumber(const AttributeInfo& attribute, uint32_t field) {
    if (attribute.sort_field == kFloatSortField) {
        float value;
        std::memcpy(&value, &field, sizeof value);
        return value;
    }
    return static_cast<int32_t>(field);
}

double NumberInText(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : -1.0;
}

SortKey SortKeyOf(const AttributeInfo& attribute, const ScanRecord& record,
                  const AttributeTexts& texts) {
    if (attribute.sort_field == kSortByText) {
        return {0, texts[attribute.text_slot]};
    }
    if (attribute.sort_field == kSortByNumberInText) {
        return {NumberInText(texts[attribute.text_slot]), {}};
    }
    const ScanRecordImage image = ToImage(record);
    const size_t offset = static_cast<size_t>(attribute.sort_field);
    return {SortNumber(attribute, LoadLe32(std::span(image).subspan(offset))), {}};
}

int CompareForSort(const AttributeInfo& attribute, const SortKey& a, const SortKey& b,
                   bool descending) {
    if (attribute.sort_field == kSortByText) {
        return descending ? CompareTextsIgnoringCase(b.text, a.text)
                          : CompareTextsIgnoringCase(a.text, b.text);
    }
    // A damaged record's NaN sorts as the smallest length, so that the order
    // stays consistent.
    const auto number = [](double x) {
        return std::isnan(x) ? -std::numeric_limits<double>::infinity() : x;
    };
    if (descending) {
        return number(a.number) <= number(b.number) ? 1 : -1;
    }
    return number(a.number) < number(b.number) ? -1 : 1;
}

}  // namespace vandrel
