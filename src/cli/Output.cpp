#include "cli/Output.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "cli/Json.h"
#include "engine/frame/FrameHeader.h"
#include "engine/verdicts/TextReports.h"
#include "store/AttributeCatalog.h"

namespace vandrel::cli {

namespace {

// Display width of a UTF-8 text, counting one column per code point.
size_t DisplayWidth(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Bytes at the start of `text` (not empty) that print as they are: one
// valid UTF-8 character that is no control character; 0 when the first byte
// is to be escaped.
size_t PrintableLength(std::string_view text) {
    const auto lead = static_cast<uint8_t>(text[0]);
    if (lead < 0x20 || lead == 0x7F) {
        return 0;
    }
    const size_t length = Utf8SequenceLength(text);
    // U+0080-U+009F are C2 80 - C2 9F in UTF-8; the lone continuation byte
    // left behind is escaped in turn.
    if (length == 2 && lead == 0xC2 && static_cast<uint8_t>(text[1]) < 0xA0) {
        return 0;
    }
    return length;
}

// With `header_when_empty` off, a table without rows is not written at all.
class TableWriter : public ResultWriter {
public:
    TableWriter(std::vector<Column> columns, bool header_when_empty, std::ostream& out)
        : columns_(std::move(columns)), header_when_empty_(header_when_empty), out_(out) {}

    void Add(const FileResult& result) override {
        std::vector<std::string> row;
        for (const Column& column : columns_) {
            row.push_back(EscapeText(column.text(result)));
        }
        rows_.push_back(std::move(row));
    }

    void Finish() override {
        if (rows_.empty() && !header_when_empty_) {
            return;
        }
        std::vector<size_t> widths;
        for (const Column& column : columns_) {
            widths.push_back(DisplayWidth(column.header));
        }
        for (const auto& row : rows_) {
            for (size_t i = 0; i < row.size(); ++i) {
                widths[i] = std::max(widths[i], DisplayWidth(row[i]));
            }
        }
        std::vector<std::string> header;
        for (const Column& column : columns_) {
            header.push_back(column.header);
        }
        WriteRow(header, widths);
        for (const auto& row : rows_) {
            WriteRow(row, widths);
        }
        out_.flush();
    }

private:
    void WriteRow(const std::vector<std::string>& row, const std::vector<size_t>& widths) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const size_t pad = widths[i] - DisplayWidth(row[i]);
            const bool last = i + 1 == row.size();
            if (i > 0) {
                line += "  ";
            }
            if (columns_[i].right_aligned) {
                line.append(pad, ' ');
                line += row[i];
            } else {
                line += row[i];
                if (!last) {
                    line.append(pad, ' ');
                }
            }
        }
        out_ << line << '\n';
    }

    std::vector<Column> columns_;
    bool header_when_empty_;
    std::ostream& out_;
    std::vector<std::vector<std::string>> rows_;
};

// The header row comes first; with `header_when_empty` off, only above a
// first row (a run of --problems that finds none prints nothing).
class DelimitedWriter : public ResultWriter {
public:
    DelimitedWriter(std::vector<Column> columns, bool csv, bool header_when_empty,
                    std::ostream& out)
        : columns_(std::move(columns)), csv_(csv), out_(out) {
        if (header_when_empty) {
            WriteHeader();
        }
    }

    void Add(const FileResult& result) override {
        if (!header_written_) {
            WriteHeader();
        }
        std::vector<std::string> row;
        for (const Column& column : columns_) {
            row.push_back(column.text(result));
        }
        WriteRow(row);
    }

    void Finish() override { out_.flush(); }

private:
    void WriteHeader() {
        std::vector<std::string> header;
        for (const Column& column : columns_) {
            header.push_back(column.header);
        }
        WriteRow(header);
        header_written_ = true;
    }

    void WriteRow(const std::vector<std::string>& row) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) {
                line += csv_ ? ',' : '\t';
            }
            const std::string field = EscapeText(row[i]);
            line += csv_ ? CsvField(field) : field;
        }
        line += csv_ ? "\r\n" : "\n";
        out_ << line;
    }

    std::vector<Column> columns_;
    bool csv_;
    std::ostream& out_;
    bool header_written_ = false;
};

// Each file's "Copy Info" report, one after the other.
class ReportWriter : public ResultWriter {
public:
    explicit ReportWriter(std::ostream& out) : out_(out) {}

    void Add(const FileResult& result) override {
        if (!result.failure) {
            out_ << BuildInfoReport(result.texts, result.record);
        }
    }
    void Finish() override { out_.flush(); }

private:
    std::ostream& out_;
};

// One JSON array of all files, or with `lines` one object per line, each
// written as soon as its file is done. With `music_crc` the attributes end
// with the music CRC check, as the table's columns do.
class JsonWriter : public ResultWriter {
public:
    JsonWriter(bool record_hex, bool music_crc, bool lines, std::ostream& out)
        : record_hex_(record_hex), music_crc_(music_crc), lines_(lines), out_(out) {
        if (!lines_) {
            out_ << '[';
        }
    }

    void Add(const FileResult& result) override {
        std::string text = lines_ ? "" : first_ ? "\n" : ",\n";
        first_ = false;
        JsonOut json(text, lines_);
        json.BeginObject();
        json.Key("path");
        json.String(result.path);
        // "path" shows bytes that are not UTF-8 as U+FFFD, so two such names
        // could read the same; the raw bytes let a script open the file.
        if (!IsValidUtf8(result.path)) {
            json.Key("path_bytes");
            json.String(
                HexBytes(reinterpret_cast<const uint8_t*>(result.path.data()), result.path.size()));
        }
        json.Key("name");
        json.String(result.name);
        json.Key("error");
        if (result.failure) {
            json.String(WithoutTrailingLineBreaks(*result.failure));
        } else {
            json.Null();
        }
        json.Key("attributes");
        json.BeginObject();
        for (const AttributeInfo& attribute : Catalog()) {
            json.Key(attribute.name);
            json.String(result.texts[attribute.text_slot]);
        }
        if (music_crc_) {
            json.Key(kMusicCrcColumn);
            json.String(MusicCrcText(result.record));
        }
        json.EndObject();
        json.Key("record");
        WriteRecordJson(json, result.record);
        if (record_hex_) {
            const ScanRecordImage image = ToImage(result.record);
            json.Key("record_hex");
            json.String(HexBytes(image.data(), image.size()));
        }
        // The audio hash as in the attributes; null without a walk of the whole file.
        json.Key("audio_hash");
        if (result.checks.audio_hashed != 0) {
            json.String(AudioHashText(result.checks.audio_hash));
        } else {
            json.Null();
        }
        json.Key("findings");
        json.BeginArray();
        for (const Finding& finding : result.findings) {
            json.BeginObject();
            json.Key("severity");
            json.String(SeverityName(finding.severity));
            json.Key("text");
            json.String(finding.brief);
            json.Key("detail");
            json.String(finding.detail);
            if (!finding.figures.empty()) {
                json.Key("figures");
                json.BeginObject();
                for (const FindingFigure& figure : finding.figures) {
                    json.Key(figure.key);
                    json.Int(figure.value);
                }
                json.EndObject();
            }
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        out_ << text;
        if (lines_) {
            out_ << '\n';
            out_.flush();
        }
    }

    void Finish() override {
        if (!lines_) {
            out_ << (first_ ? "]\n" : "\n]\n");
        }
        out_.flush();
    }

private:
    bool record_hex_;
    bool music_crc_;
    bool lines_;
    std::ostream& out_;
    bool first_ = true;
};

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
    return out;
}

void DrawProgressLine(std::ostream& err, std::string line) {
    constexpr size_t kLineWidth = 79;
    if (line.size() > kLineWidth) {
        size_t cut = kLineWidth;
        while (cut > 0 && (static_cast<uint8_t>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        line.resize(cut);
    }
    err << "\r\033[K" << line << std::flush;
}

std::string EscapeText(std::string_view text) {
    static constexpr std::string_view kEscapeLetters = "\\tnrx";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<uint8_t>(text[0]);
        if (byte == '\\') {
            const bool ambiguous =
                text.size() > 1 && (kEscapeLetters.find(text[1]) != std::string_view::npos ||
                                    PrintableLength(text.substr(1)) == 0);
            out += ambiguous ? "\\\\" : "\\";
            text.remove_prefix(1);
            continue;
        }
        if (const size_t length = PrintableLength(text); length > 0) {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else {
            out += "\\x";
            out += HexBytes(&byte, 1);
        }
        text.remove_prefix(1);
    }
    return out;
}

std::string MusicCrcText(const ScanRecord& record) {
    if (record.has_xing == 0 || record.xing.has_lame_tag == 0) {
        return {};
    }
    if (record.xing.music_crc_computed == 0) {
        return "Error calculating CRC";
    }
    std::string text = record.xing.music_crc_ok != 0 ? "OK" : "corrupt";
    // Checked to the end of the file (but an ID3v1 tag) for want of a usable
    // music length: the verdict says so.
    if (record.xing.music_crc_computed == kMusicCrcWithoutMusicLength) {
        text += " (no usable music length in the LAME tag)";
    } else if (record.xing.music_crc_computed == kMusicCrcMusicLengthPastEnd) {
        text += " (the file is shorter than the LAME tag's music length)";
    }
    return text;
}

std::variant<std::vector<int32_t>, std::string> ResolveColumns(const Options& options) {
    std::vector<int32_t> ids;
    if (options.all_columns) {
        for (const AttributeInfo& attribute : Catalog()) {
            ids.push_back(attribute.id);
        }
        return ids;
    }
    if (options.columns.empty()) {
        return DefaultColumnIds();
    }
    for (const std::string& column : options.columns) {
        const AttributeInfo* attribute = FindAttributeByName(column);
        if (attribute == nullptr) {
            int32_t id = -1;
            const auto [end, ec] =
                std::from_chars(column.data(), column.data() + column.size(), id);
            if (ec == std::errc() && end == column.data() + column.size()) {
                attribute = FindAttribute(id);
            }
        }
        if (attribute == nullptr) {
            return "unknown column '" + column + "' (see the attribute names of --all-columns)";
        }
        ids.push_back(attribute->id);
    }
    return ids;
}

std::vector<Column> OutputColumns(const std::vector<int32_t>& attribute_ids,
                                  const Options& options) {
    std::vector<Column> columns;
    for (int32_t id : attribute_ids) {
        const AttributeInfo& attribute = *FindAttribute(id);
        const int slot = attribute.text_slot;
        columns.push_back({std::string(attribute.name), attribute.alignment == Alignment::kRight,
                           [slot](const FileResult& r) { return r.texts[slot]; }});
    }
    if (options.music_crc) {
        columns.push_back(
            {kMusicCrcColumn, false, [](const FileResult& r) { return MusicCrcText(r.record); }});
    }
    return columns;
}

std::unique_ptr<ResultWriter> MakeResultWriter(const Options& options,
                                               const std::vector<int32_t>& attribute_ids,
                                               std::ostream& out) {
    if (options.report) {
        return std::make_unique<ReportWriter>(out);
    }
    switch (options.format) {
    case OutputFormat::kJson:
    case OutputFormat::kJsonLines:
        return std::make_unique<JsonWriter>(options.record_hex, options.music_crc,
                                            options.format == OutputFormat::kJsonLines, out);
    case OutputFormat::kTsv:
        return std::make_unique<DelimitedWriter>(OutputColumns(attribute_ids, options), false,
                                                 !options.problems, out);
    case OutputFormat::kCsv:
        return std::make_unique<DelimitedWriter>(OutputColumns(attribute_ids, options), true,
                                                 !options.problems, out);
    case OutputFormat::kTable:
        break;
    }
    return std::make_unique<TableWriter>(OutputColumns(attribute_ids, options), !options.problems,
                                         out);
}

}  // namespace vandrel::cli
