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

// Tabs and line breaks would break a tab-separated line.
std::string TsvField(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

class TableWriter : public ResultWriter {
public:
    TableWriter(std::vector<Column> columns, std::ostream& out)
        : columns_(std::move(columns)), out_(out) {}

    void Add(const FileResult& result) override {
        std::vector<std::string> row;
        for (const Column& column : columns_) {
            row.push_back(TsvField(column.text(result)));
        }
        rows_.push_back(std::move(row));
    }

    void Finish() override {
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
    std::ostream& out_;
    std::vector<std::vector<std::string>> rows_;
};

class DelimitedWriter : public ResultWriter {
public:
    DelimitedWriter(std::vector<Column> columns, bool csv, std::ostream& out)
        : columns_(std::move(columns)), csv_(csv), out_(out) {
        std::vector<std::string> header;
        for (const Column& column : columns_) {
            header.push_back(column.header);
        }
        WriteRow(header);
    }

    void Add(const FileResult& result) override {
        std::vector<std::string> row;
        for (const Column& column : columns_) {
            row.push_back(column.text(result));
        }
        WriteRow(row);
    }

    void Finish() override { out_.flush(); }

private:
    void WriteRow(const std::vector<std::string>& row) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) {
                line += csv_ ? ',' : '\t';
            }
            line += csv_ ? CsvField(row[i]) : TsvField(row[i]);
        }
        line += csv_ ? "\r\n" : "\n";
        out_ << line;
    }

    std::vector<Column> columns_;
    bool csv_;
    std::ostream& out_;
};

// Each file's "Copy Info" report, one after the other.
class ReportWriter : public ResultWriter {
public:
    explicit ReportWriter(std::ostream& out) : out_(out) {}

    void Add(const FileResult& result) override {
        if (!result.error) {
            out_ << BuildInfoReport(result.texts, result.record);
        }
    }
    void Finish() override { out_.flush(); }

private:
    std::ostream& out_;
};

class JsonWriter : public ResultWriter {
public:
    JsonWriter(bool record_hex, std::ostream& out) : record_hex_(record_hex), out_(out) {
        out_ << '[';
    }

    void Add(const FileResult& result) override {
        std::string text = first_ ? "\n" : ",\n";
        first_ = false;
        JsonOut json(text);
        json.BeginObject();
        json.Key("path");
        json.String(result.path);
        json.Key("name");
        json.String(result.name);
        json.Key("error");
        if (result.error) {
            json.String(*result.error);
        } else {
            json.Null();
        }
        json.Key("attributes");
        json.BeginObject();
        for (const AttributeInfo& attribute : Catalog()) {
            json.Key(attribute.name);
            json.String(result.texts[attribute.text_slot]);
        }
        json.EndObject();
        json.Key("record");
        WriteRecordJson(json, result.record);
        if (record_hex_) {
            const ScanRecordImage image = ToImage(result.record);
            json.Key("record_hex");
            json.String(HexBytes(image.data(), image.size()));
        }
        json.EndObject();
        out_ << text;
    }

    void Finish() override {
        out_ << (first_ ? "]\n" : "\n]\n");
        out_.flush();
    }

private:
    bool record_hex_;
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
            {"Music CRC", false, [](const FileResult& r) { return MusicCrcText(r.record); }});
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
        return std::make_unique<JsonWriter>(options.record_hex, out);
    case OutputFormat::kTsv:
        return std::make_unique<DelimitedWriter>(OutputColumns(attribute_ids, options), false, out);
    case OutputFormat::kCsv:
        return std::make_unique<DelimitedWriter>(OutputColumns(attribute_ids, options), true, out);
    case OutputFormat::kTable:
        break;
    }
    return std::make_unique<TableWriter>(OutputColumns(attribute_ids, options), out);
}

}  // namespace vandrel::cli
