#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>
#include <QWidget>

#include "engine/core/ScanRecord.h"
#include "tools/TagThread.h"
#include "ui/common/WorkerPump.h"
#include "ui/details/FieldList.h"

class QProgressBar;
class QShowEvent;
class QTabWidget;
class QTreeWidget;

namespace vandrel {

// The headers the tag viewer has a page for.
enum class TagPageKind { kLame, kXing, kVbri };

// Where the music CRC check of a LAME tag stands.
enum class MusicCrcState {
    kCalculating,  // not finished yet
    kOk,           // the audio matches the tag's music CRC
    kCorrupt,      // it does not
    kFailed,       // the file could not be opened, or its first frames have no valid header
};

// One line of a tag page. `note` is a remark on the value that the list
// shows as the row's tooltip; mostly empty.
struct TagRow {
    QString field;
    QString value;
    QString note;
};
using TagRows = std::vector<TagRow>;

// The pages a file's record gets, in tab order: the LAME tag (only when it
// was read with a correct tag CRC) and the Xing/Info header when the file
// has one, then the VBRI header.
std::vector<TagPageKind> TagPagesOf(const ScanRecord& record);
QString TagPageTitle(TagPageKind kind);

// The rows of each page. The LAME texts are the attribute texts the list and
// the reports show; the music CRC row follows `crc`.
TagRows LameTagRows(const ScanRecord& record, MusicCrcState crc);
TagRows XingTagRows(const ScanRecord& record);
TagRows VbriTagRows(const ScanRecord& record);
TagRows TagPageRows(TagPageKind kind, const ScanRecord& record, MusicCrcState crc);

// What the LAME tag's bitrate byte means depends on how the file was
// encoded: the constant bitrate, the average one, or the least a VBR file uses.
QString LameBitrateField(int vbr_method);
// A 16-bit word the viewer does not interpret, as its two bytes in file order ("12 AB").
QString HexWordText(uint16_t word);
// The outcome of a finished check, from the record it filled in.
MusicCrcState MusicCrcStateOf(const ScanRecord& checked);

// One page of the tag viewer: a read-only "Field"/"Value" list and a
// progress bar. The LAME page also runs the music CRC check and shows its
// outcome. GUI thread only.
class CTagPage : public QWidget {
    Q_OBJECT
public:
    CTagPage(TagPageKind kind, const ScanRecord& record, QWidget* parent = nullptr);
    // Cancels a running check and waits for its thread.
    ~CTagPage() override;

    // Starts the music CRC check of the file at `path` (the LAME page only).
    // A check that is still running is stopped first.
    void StartCheck(const std::string& path);
    // Stops a running check and waits for its thread, which ends within the
    // chunk it is reading; the page then shows no further progress and no result.
    void CancelCheck();
    // Whether a started check has neither finished nor been cancelled.
    bool checking() const { return checking_; }

    TagPageKind kind() const { return kind_; }
    MusicCrcState crc_state() const { return crc_state_; }
    // The record as last shown: after a check, with its music CRC fields.
    const ScanRecord& record() const { return record_; }
    QTreeWidget* List() const { return list_; }
    QProgressBar* ProgressBar() const { return progress_; }

signals:
    // The check ended with a result (also a failed one).
    void CheckFinished();

private:
    void FillRows();
    bool TakeWorkerMessage(Message& message);
    void CheckDone(const ScanRecord& checked);

    TagPageKind kind_;
    ScanRecord record_;
    MusicCrcState crc_state_ = MusicCrcState::kCalculating;
    bool checking_ = false;

    // Where every check of the page posts. A cancelled check's thread has
    // ended before what it left there is dropped, so none of it reaches the page.
    WorkerPump pump_;
    std::unique_ptr<CTagThread> worker_;

    FieldList* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

// The tag viewer: "Tags - [" + path + "]", a page for each header the file
// has (LAME, Xing, VBRI), the LAME tag's music CRC checked in the background.
// Works modeless or with exec(); closing it stops the check, and a dialog
// shown again starts it anew.
class CTagDlg : public QDialog {
    Q_OBJECT
public:
    // `record` is the file's scan result as the list holds it.
    CTagDlg(const std::string& path, const ScanRecord& record, QWidget* parent = nullptr);
    // Stops the check and waits for its thread.
    ~CTagDlg() override;

    QTabWidget* Tabs() const { return tabs_; }
    // The page of that header, nullptr when the file has none.
    CTagPage* Page(TagPageKind kind) const;

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string path_;
    QTabWidget* tabs_ = nullptr;
    CTagPage* lame_page_ = nullptr;
};

}  // namespace vandrel
