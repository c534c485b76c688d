#include "ui/tools/TagDlg.h"

#include <cstring>
#include <string_view>

#include <QApplication>
#include <QDialogButtonBox>
#include <QProgressBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/tags/VbrHeaders.h"
#include "engine/verdicts/AttributeTexts.h"
#include "ui/common/UiThread.h"
#include "ui/details/FieldList.h"

namespace vandrel {

namespace {

// LAME's VBR method codes that say how the bitrate byte is meant.
constexpr int kLameMethodCbr = 1;
constexpr int kLameMethodAbr = 2;

constexpr int kPercentDone = 100;
constexpr QSize kDefaultSize(480, 520);
// Room after the longest field name, so that it does not touch its value.
constexpr int kFieldColumnMargin = 24;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString YesNo(bool yes) {
    return yes ? CTagPage::tr("yes") : CTagPage::tr("no");
}

// The two rows of one replay gain field. A field whose name code is 0 holds
// no gain: its rows are named after the kind of gain that field is for.
void AddReplayGainRows(TagRows& rows, const QString& own_kind, const std::string& name,
                       int name_code, const std::string& originator,
                       const std::string& adjustment) {
    if (name_code == 0) {
        const QString not_set = Text(name);
        rows.push_back({CTagPage::tr("%1 Replay Gain Originator").arg(own_kind), not_set, {}});
        rows.push_back({CTagPage::tr("%1 Replay Gain Adjustment").arg(own_kind), not_set, {}});
        return;
    }
    rows.push_back(
        {CTagPage::tr("%1 Replay Gain Originator").arg(Text(name)), Text(originator), {}});
    rows.push_back(
        {CTagPage::tr("%1 Replay Gain Adjustment").arg(Text(name)), Text(adjustment), {}});
}

TagRow MusicCrcRow(const ScanRecord& record, MusicCrcState crc) {
    TagRow row{CTagPage::tr("Music CRC"), {}, {}};
    switch (crc) {
    case MusicCrcState::kCalculating:
        row.value = CTagPage::tr("Calculating...");
        break;
    case MusicCrcState::kOk:
        row.value = CTagPage::tr("OK");
        break;
    case MusicCrcState::kCorrupt:
        row.value = CTagPage::tr("corrupt");
        break;
    case MusicCrcState::kFailed:
        row.value = CTagPage::tr("Error calculating CRC");
        break;
    }
    if (crc == MusicCrcState::kOk || crc == MusicCrcState::kCorrupt) {
        // The tag's music length says where the checked audio ends; when it
        // cannot be right, the rest of the file was checked instead.
        if (record.xing.music_crc_computed == kMusicCrcWithoutMusicLength) {
            row.note = CTagPage::tr("Checked to the end of the file: the LAME tag has no usable "
                                    "music length");
        } else if (record.xing.music_crc_computed == kMusicCrcMusicLengthPastEnd) {
            row.note = CTagPage::tr("Checked to the end of the file: it is shorter than the LAME "
                                    "tag's music length");
        }
    }
    return row;
}

}  // namespace

std::vector<TagPageKind> TagPagesOf(const ScanRecord& record) {
    std::vector<TagPageKind> pages;
    if (record.has_xing != 0) {
        if (record.xing.has_lame_tag != 0) {
            pages.push_back(TagPageKind::kLame);
        }
        pages.push_back(TagPageKind::kXing);
    }
    if (record.has_vbri != 0) {
        pages.push_back(TagPageKind::kVbri);
    }
    return pages;
}

QString TagPageTitle(TagPageKind kind) {
    switch (kind) {
    case TagPageKind::kLame:
        return CTagPage::tr("Lame Tag");
    case TagPageKind::kXing:
        return CTagPage::tr("Xing Tag");
    case TagPageKind::kVbri:
        return CTagPage::tr("VBRI Tag");
    }
    return {};
}

QString LameBitrateField(int vbr_method) {
    switch (vbr_method) {
    case kLameMethodCbr:
        return CTagPage::tr("Bitrate");
    case kLameMethodAbr:
        return CTagPage::tr("ABR Bitrate");
    default:
        return CTagPage::tr("Minimum Bitrate");
    }
}

QString HexWordText(uint16_t word) {
    // The fields are big-endian in the file: the high byte comes first.
    return QStringLiteral("%1 %2")
        .arg(word >> 8, 2, 16, QLatin1Char('0'))
        .arg(word & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

MusicCrcState MusicCrcStateOf(const ScanRecord& checked) {
    if (checked.xing.music_crc_computed == 0) {
        return MusicCrcState::kFailed;
    }
    return checked.xing.music_crc_ok != 0 ? MusicCrcState::kOk : MusicCrcState::kCorrupt;
}

TagRows LameTagRows(const ScanRecord& record, MusicCrcState crc) {
    AttributeTexts texts;
    BuildAttributeTexts(texts, record, false);
    const VbrHeaderBlock& x = record.xing;
    // Nine characters; the terminator is not trusted to be there.
    const std::string_view version(x.lame_version, ::strnlen(x.lame_version, 9));

    TagRows rows = {
        {CTagPage::tr("Quality"), Text(texts[kSlotLameQuality]), {}},
        {CTagPage::tr("Version String"), QString::fromLatin1(version), {}},
        {CTagPage::tr("Tag Revision"), Text(texts[kSlotLameRevision]), {}},
        {CTagPage::tr("VBR Method"), Text(texts[kSlotLameVbrMethod]), {}},
        {CTagPage::tr("Lowpass Filter"), Text(texts[kSlotLameLowpass]), {}},
        {CTagPage::tr("Max Sample Value"), Text(texts[kSlotPeak]), {}},
    };
    AddReplayGainRows(rows, CTagPage::tr("Radio"), texts[kSlotRadioName], x.radio_gain_name,
                      texts[kSlotRadioOriginator], texts[kSlotRadioAdjustment]);
    AddReplayGainRows(rows, CTagPage::tr("Audiophile"), texts[kSlotAudiophileName],
                      x.audiophile_gain_name, texts[kSlotAudiophileOriginator],
                      texts[kSlotAudiophileAdjustment]);
    const TagRows after_gains = {
        {CTagPage::tr("Psycho-acoustic Model"), Text(texts[kSlotLamePsychoModel]), {}},
        {CTagPage::tr("Safe Joint Stereo"), Text(texts[kSlotLameSafeJoint]), {}},
        {CTagPage::tr("--nogap (continued)"), Text(texts[kSlotLameNogapContinued]), {}},
        {CTagPage::tr("--nogap (continuation)"), Text(texts[kSlotLameNogapContinuation]), {}},
        {CTagPage::tr("ATH Type"), Text(texts[kSlotLameAthType]), {}},
        {LameBitrateField(x.vbr_method), Text(texts[kSlotLameAbrBitrate]), {}},
        {CTagPage::tr("Noise Shaping"), Text(texts[kSlotLameNoiseShaping]), {}},
        {CTagPage::tr("Stereo Mode"), Text(texts[kSlotLameStereoMode]), {}},
        {CTagPage::tr("Unwise Settings"), Text(texts[kSlotLameUnwise]), {}},
        {CTagPage::tr("Input Frequency"), Text(texts[kSlotLameInputFrequency]), {}},
    };
    rows.insert(rows.end(), after_gains.begin(), after_gains.end());
    rows.push_back(MusicCrcRow(record, crc));
    return rows;
}

TagRows XingTagRows(const ScanRecord& record) {
    const VbrHeaderBlock& x = record.xing;
    return {
        {CTagPage::tr("Frames"), QString::number(x.frames), {}},
        {CTagPage::tr("Total Bitstream Bytes"), QString::number(x.bytes), {}},
        {CTagPage::tr("VBR Scale"), QString::number(x.vbr_scale), {}},
        // The record does not keep the table itself, only whether there is one.
        {CTagPage::tr("Table Of Contents"), YesNo((x.flags & kXingTocFlag) != 0), {}},
    };
}

TagRows VbriTagRows(const ScanRecord& record) {
    // The header's fields in file order. The words whose meaning is not
    // settled are shown as the bytes they are.
    const VbriBlock& v = record.vbri;
    return {
        {CTagPage::tr("Unknown Word #1 (hex)"), HexWordText(v.version), {}},
        {CTagPage::tr("Unknown Word #2 (hex)"), HexWordText(v.delay), {}},
        {CTagPage::tr("VBR Scale"), QString::number(v.quality), {}},
        {CTagPage::tr("Total Bitstream Bytes"), QString::number(v.bytes), {}},
        {CTagPage::tr("Frames"), QString::number(v.frames), {}},
        {CTagPage::tr("Table of Contents Size (words)"), QString::number(v.table_entries), {}},
        {CTagPage::tr("Unknown Word #3 (hex)"), HexWordText(v.table_scale), {}},
        {CTagPage::tr("Unknown Word #4 (hex)"), HexWordText(v.entry_size), {}},
        {CTagPage::tr("Size of Table Entries (frames)"), QString::number(v.frames_per_entry), {}},
    };
}

TagRows TagPageRows(TagPageKind kind, const ScanRecord& record, MusicCrcState crc) {
    switch (kind) {
    case TagPageKind::kLame:
        return LameTagRows(record, crc);
    case TagPageKind::kXing:
        return XingTagRows(record);
    case TagPageKind::kVbri:
        return VbriTagRows(record);
    }
    return {};
}

// ---------------------------------------------------------------------------

CTagPage::CTagPage(TagPageKind kind, const ScanRecord& record, QWidget* parent)
    : QWidget(parent), kind_(kind), record_(record),
      pump_([this](Message& message) { return TakeWorkerMessage(message); }) {
    AssertUiThread();

    list_ = new FieldList(tr("Field"), tr("Value"), this);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, kPercentDone);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    // Only the LAME page has work whose progress there is to show.
    progress_->setVisible(kind_ == TagPageKind::kLame);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(progress_);

    FillRows();
    list_->resizeColumnToContents(0);
    list_->setColumnWidth(0, list_->columnWidth(0) + kFieldColumnMargin);
}

CTagPage::~CTagPage() {
    // From here on nothing the worker posts reaches this object, which is
    // about to go; then the worker is stopped and waited for.
    pump_.Detach();
    worker_.reset();
}

void CTagPage::StartCheck(const std::string& path) {
    AssertUiThread();
    Q_ASSERT(kind_ == TagPageKind::kLame);
    CancelCheck();
    crc_state_ = MusicCrcState::kCalculating;
    FillRows();
    progress_->setValue(0);
    worker_ = std::make_unique<CTagThread>();
    worker_->Start(pump_.target(), path, record_);
    checking_ = true;
}

void CTagPage::CancelCheck() {
    AssertUiThread();
    if (worker_) {
        // The CRC stops within one chunk, so the wait is short; afterwards
        // nothing more comes from this check, and what it posted is dropped.
        worker_->Cancel();
        worker_.reset();
        pump_.Drop();
    }
    checking_ = false;
}

bool CTagPage::TakeWorkerMessage(Message& message) {
    if (!checking_) {
        return false;
    }
    if (message.id == kMsgProgress) {
        progress_->setValue(static_cast<int>(message.wparam));
    } else if (message.id == kMsgWorkDone) {
        if (auto* checked = std::get_if<std::unique_ptr<ScanRecord>>(&message.payload)) {
            CheckDone(**checked);
            return false;
        }
    }
    return true;
}

void CTagPage::CheckDone(const ScanRecord& checked) {
    checking_ = false;
    record_ = checked;
    crc_state_ = MusicCrcStateOf(checked);
    FillRows();
    const bool failed = crc_state_ == MusicCrcState::kFailed;
    progress_->setValue(failed ? 0 : kPercentDone);
    if (failed) {
        // The dialog may be closed (and deleted) while the box is up.
        ShowWorkerNotice(NoticeKind::kError, tr("Error calculating CRC"),
                         QApplication::activeWindow());
    }
    emit CheckFinished();
}

void CTagPage::FillRows() {
    const TagRows rows = TagPageRows(kind_, record_, crc_state_);
    const auto count = static_cast<int>(rows.size());
    // Same rows as before: updated in place, so the selection stays.
    if (list_->topLevelItemCount() != count) {
        list_->clear();
        for (int i = 0; i < count; ++i) {
            new QTreeWidgetItem(list_);
        }
    }
    for (int i = 0; i < count; ++i) {
        const TagRow& row = rows[static_cast<size_t>(i)];
        QTreeWidgetItem* item = list_->topLevelItem(i);
        item->setText(0, row.field);
        item->setText(1, row.value);
        item->setToolTip(1, row.note);
    }
}

// ---------------------------------------------------------------------------

CTagDlg::CTagDlg(const std::string& path, const ScanRecord& record, QWidget* parent)
    : QDialog(parent), path_(path) {
    AssertUiThread();
    setWindowTitle(tr("Tags"));
    setSizeGripEnabled(true);

    tabs_ = new QTabWidget(this);
    for (const TagPageKind kind : TagPagesOf(record)) {
        auto* page = new CTagPage(kind, record, tabs_);
        tabs_->addTab(page, TagPageTitle(kind));
        if (kind == TagPageKind::kLame) {
            lame_page_ = page;
            page->StartCheck(path_);
        }
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTagDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons);
    resize(kDefaultSize);

    setWindowTitle(tr("Tags - [%1]").arg(QString::fromStdString(path_)));
}

CTagDlg::~CTagDlg() {
    // The pages go after this body, with the dialog's children; the check is
    // ended first, while everything it reports to is still whole.
    if (lame_page_ != nullptr) {
        lame_page_->CancelCheck();
    }
}

CTagPage* CTagDlg::Page(TagPageKind kind) const {
    for (int i = 0; i < tabs_->count(); ++i) {
        auto* page = qobject_cast<CTagPage*>(tabs_->widget(i));
        if (page != nullptr && page->kind() == kind) {
            return page;
        }
    }
    return nullptr;
}

void CTagDlg::done(int result) {
    // Nobody looks at a closed viewer: its check would only keep the disk busy.
    if (lame_page_ != nullptr && lame_page_->checking()) {
        lame_page_->CancelCheck();
    }
    QDialog::done(result);
}

void CTagDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A viewer closed before its check ended and shown again checks anew.
    if (lame_page_ != nullptr && !lame_page_->checking() &&
        lame_page_->crc_state() == MusicCrcState::kCalculating) {
        lame_page_->StartCheck(path_);
    }
}

}  // namespace vandrel
