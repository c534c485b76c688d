#include "tools/ExportHtml.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <system_error>

#include "store/AttributeCatalog.h"
#include "store/ProcessValues.h"

namespace vandrel {

namespace {

constexpr int64_t kBytesPerMb = 1'048'576;
constexpr int64_t kBytesPerGb = 1'073'741'824;
// Totals up to this many MB are given in MB, larger ones in GB.
constexpr double kLargestMbTotal = 1024.0;

constexpr int64_t kSecondsPerMinute = 60;
constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerDay = 86'400;
constexpr int64_t kSecondsPerWeek = 604'800;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Bytes of the valid UTF-8 character that starts at `at`; 0 when the bytes
// there are none (a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate, a code point past U+10FFFF).
size_t Utf8Length(std::string_view text, size_t at) {
    // Past the end reads as zero, which no sequence accepts.
    const auto byte = [&](size_t i) -> unsigned char {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
    };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    // The second byte's range narrows after some leads: E0 and F0 would
    // otherwise allow overlong forms, ED surrogates, F4 code points past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (!IsContinuation(byte(i))) {
            return 0;
        }
    }
    return length;
}

std::string AlignmentText(Alignment alignment) {
    return alignment == Alignment::kRight ? "right" : "left";
}

// "5 seconds", "1 minute": the number, a blank, the unit, plural unless exactly one.
std::string DurationPart(int64_t count, std::string_view unit) {
    std::string text = std::to_string(count);
    text += ' ';
    text += unit;
    if (count != 1) {
        text += 's';
    }
    return text;
}

// A locale object for LC_TIME, freed when it goes.
class TimeLocale {
public:
    explicit TimeLocale(const std::string& name)
        : locale_(::newlocale(LC_TIME_MASK, name.c_str(), locale_t{})) {
        if (locale_ == locale_t{}) {
            locale_ = ::newlocale(LC_TIME_MASK, "C", locale_t{});
        }
    }
    ~TimeLocale() {
        if (locale_ != locale_t{}) {
            ::freelocale(locale_);
        }
    }
    TimeLocale(const TimeLocale&) = delete;
    TimeLocale& operator=(const TimeLocale&) = delete;

    // The strftime text of one conversion ("%a", "%b").
    std::string Format(const char* format, const std::tm& time) const {
        char buffer[128];
        const size_t length = locale_ != locale_t{}
                                  ? ::strftime_l(buffer, sizeof buffer, format, &time, locale_)
                                  : std::strftime(buffer, sizeof buffer, format, &time);
        return std::string(buffer, length);
    }

private:
    locale_t locale_;
};

}  // namespace

std::vector<ExportColumn> ExportColumns(const std::vector<ExportSelectionEntry>& selection) {
    std::vector<ExportColumn> columns;
    columns.reserve(Catalog().size());
    for (const AttributeInfo& attribute : Catalog()) {
        ExportColumn column;
        column.id = attribute.id;
        column.name = std::string(attribute.name);
        column.group = std::string(attribute.group);
        column.alignment = AlignmentText(attribute.alignment);
        column.text_slot = attribute.text_slot;
        column.width = attribute.width;
        column.needs_all_frames = attribute.scan_dependent;
        // The name is always there: without it no row says which file it is.
        column.exported =
            columns.empty() ||
            std::find(selection.begin(), selection.end(),
                      ExportSelectionEntry(column.group, column.name)) != selection.end();
        columns.push_back(std::move(column));
    }
    return columns;
}

std::vector<ExportSelectionEntry> SelectionOf(const std::vector<ExportColumn>& columns) {
    std::vector<ExportSelectionEntry> selection;
    for (const ExportColumn& column : columns) {
        if (column.exported) {
            selection.emplace_back(column.group, column.name);
        }
    }
    return selection;
}

bool QuickScanIsEnough(const std::vector<ExportColumn>& columns) {
    return std::none_of(columns.begin(), columns.end(), [](const ExportColumn& column) {
        return column.exported && column.needs_all_frames;
    });
}

bool ExportNeedsScan(const std::vector<ExportColumn>& columns) {
    return std::any_of(columns.begin() + (columns.empty() ? 0 : 1), columns.end(),
                       [](const ExportColumn& column) { return column.exported; });
}

std::string EscapeHtml(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(text[i]);
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        switch (text[i]) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += text[i];
        }
        ++i;
    }
    return out;
}

std::string HeaderRow(const std::vector<ExportColumn>& columns) {
    std::string row = "\t<tr>";
    for (size_t i = 0; i < columns.size(); ++i) {
        const ExportColumn& column = columns[i];
        if (!column.exported) {
            continue;
        }
        row += "<td class = \"col\"";
        // The first column takes the room the others leave.
        if (i != 0) {
            row += " width = \"" + std::to_string(column.width) + "\"";
        }
        row += " align = \"" + column.alignment + "\">";
        row += EscapeHtml(column.name);
        row += "</td>";
    }
    row += "\t</tr>";
    row += "\t<tr><td>\t</td></tr>\r\n";
    return row;
}

std::string FolderRow(const std::vector<ExportColumn>& columns, std::string_view folder) {
    std::string row = "\t<tr>\r\n";
    row += "<td class = \"dir\" align = \"" +
           (columns.empty() ? AlignmentText(Alignment::kLeft) : columns[0].alignment) + "\">";
    row += EscapeHtml(folder);
    row += "</td>";
    const AttributeTexts not_analysed;
    for (size_t i = 1; i < columns.size(); ++i) {
        if (columns[i].exported) {
            row += DataCell(columns[i], not_analysed[columns[i].text_slot]);
        }
    }
    row += "\t</tr>\r\n";
    return row;
}

std::string FileRow(const std::vector<ExportColumn>& columns, const AttributeTexts& texts) {
    std::string row = "\t<tr>\r\n";
    for (const ExportColumn& column : columns) {
        if (column.exported) {
            row += DataCell(column, texts[column.text_slot]);
        }
    }
    row += "\t</tr>\r\n";
    return row;
}

std::string DataCell(const ExportColumn& column, std::string_view value) {
    return "\t\t<td align = \"" + column.alignment + "\">" + EscapeHtml(value) + "</td>\r\n";
}

std::string SummaryRow(std::string_view label, std::string_view value) {
    return "<tr><td width = 10></td><td  class = \"info\" width = 100>" + EscapeHtml(label) +
           "</td><td align = left>" + EscapeHtml(value) + "</td></tr>\r\n";
}

std::string InfoText(const ExportTotals& totals) {
    std::string text = SummaryRow("Tracks", std::to_string(totals.tracks));
    text += SummaryRow("Folders", std::to_string(totals.folders));
    text += SummaryRow("Size", SizeText(totals.bytes));
    if (totals.seconds > 0) {
        text += SummaryRow("Duration", DurationText(totals.seconds));
    }
    return text;
}

std::string SizeText(int64_t bytes) {
    char buffer[64];
    const double mb = static_cast<double>(bytes) / static_cast<double>(kBytesPerMb);
    if (mb <= kLargestMbTotal) {
        std::snprintf(buffer, sizeof buffer, "%.2f MB", mb);
    } else {
        std::snprintf(buffer, sizeof buffer, "%.2f GB",
                      static_cast<double>(bytes) / static_cast<double>(kBytesPerGb));
    }
    return buffer;
}

std::string DurationText(int64_t seconds) {
    const int64_t weeks = seconds / kSecondsPerWeek;
    const int64_t days = seconds / kSecondsPerDay % 7;
    const int64_t hours = seconds / kSecondsPerHour % 24;
    const int64_t minutes = seconds / kSecondsPerMinute % 60;
    std::string text;
    for (const auto& [count, unit] :
         {std::pair<int64_t, std::string_view>{weeks, "week"}, {days, "day"}, {hours, "hour"}}) {
        if (count > 0) {
            text += DurationPart(count, unit) + ", ";
        }
    }
    if (minutes != 0) {
        text += DurationPart(minutes, "minute") + ", ";
    }
    text += DurationPart(seconds % kSecondsPerMinute, "second");
    return text;
}

std::string DateText(const std::tm& local_time, const std::string& time_locale) {
    const TimeLocale locale(time_locale);
    char clock[32];
    std::snprintf(clock, sizeof clock, "%d:%02d:%02d", local_time.tm_hour, local_time.tm_min,
                  local_time.tm_sec);
    return locale.Format("%a", local_time) + ", " + locale.Format("%b", local_time) + " " +
           std::to_string(local_time.tm_mday) + " " + std::to_string(local_time.tm_year + 1900) +
           " " + clock;
}

std::string VersionLine() {
    return VersionText() + " " + BetaText();
}

std::string FillTemplate(std::string_view template_text, const ReportTexts& texts) {
    std::string out(template_text);
    for (const auto& [marker, text] : {std::pair{kInfoMarker, &texts.info},
                                       {kMainMarker, &texts.main},
                                       {kVersionMarker, &texts.version},
                                       {kDateMarker, &texts.date}}) {
        const size_t at = out.find(marker);
        if (at != std::string::npos) {
            out.insert(at, *text);
        }
    }
    return out;
}

TemplateFile LoadTemplate(const std::string& path) {
    TemplateFile loaded;
    loaded.fault = TemplateFault::kUnreadable;
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        loaded.reason = std::generic_category().message(errno);
        return loaded;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        loaded.reason = std::generic_category().message(errno);
    } else if (S_ISDIR(st.st_mode)) {
        loaded.reason = std::generic_category().message(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        loaded.reason = "not a regular file";
    } else if (st.st_size > kMaxTemplateBytes) {
        loaded.reason = "larger than 16 MB";
    } else {
        // Read in pieces up to the limit: the file may grow while it is read.
        std::string text;
        text.reserve(static_cast<size_t>(st.st_size));
        std::array<char, 65536> piece{};
        for (;;) {
            const ssize_t got = ::read(fd, piece.data(), piece.size());
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                loaded.reason = std::generic_category().message(errno);
                break;
            }
            if (got == 0) {
                break;
            }
            if (text.size() + static_cast<size_t>(got) > static_cast<size_t>(kMaxTemplateBytes)) {
                loaded.reason = "larger than 16 MB";
                break;
            }
            text.append(piece.data(), static_cast<size_t>(got));
        }
        if (loaded.reason.empty()) {
            loaded.text = std::move(text);
            if (loaded.text.find('\0') != std::string::npos) {
                loaded.fault = TemplateFault::kNotText;
            } else if (loaded.text.find(kMainMarker) == std::string::npos) {
                loaded.fault = TemplateFault::kNoMainMarker;
            } else {
                loaded.fault = TemplateFault::kNone;
            }
        }
    }
    ::close(fd);
    return loaded;
}

std::string ReadTemplate(const std::string& path) {
    TemplateFile loaded = LoadTemplate(path);
    if (loaded.fault == TemplateFault::kUnreadable) {
        return {};
    }
    // The text ends at a zero byte: what follows it is not the template's.
    std::string text = std::move(loaded.text);
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

}  // namespace vandrel
