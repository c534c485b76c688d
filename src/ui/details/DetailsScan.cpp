#include "ui/details/DetailsScan.h"

#include <algorithm>
#include <vector>

#include <QString>
#include <QTimer>

#include "engine/media/Mp3File.h"
#include "engine/verdicts/AttributeTexts.h"
#include "engine/verdicts/Findings.h"
#include "store/AttributeCatalog.h"
#include "store/Log.h"
#include "ui/common/QtMessageTarget.h"
#include "ui/details/DetailsPages.h"
#include "ui/details/SpectrumPage.h"
#include "ui/details/TextInfoPage.h"

namespace vandrel {

namespace {

// The feature bit that gives a file kind a progress bar: its scan walks the
// frames, so it takes time worth showing.
constexpr int kFeatureProgress = 1;
// How often a closed dialog looks whether its worker has ended.
constexpr int kWorkerWatchMs = 10;

}  // namespace

CDetailsScan::CDetailsScan(std::string path, Events events)
    : path_(std::move(path)), events_(std::move(events)), record_(ZeroRecord()),
      pump_([this](Message& message) { return TakeWorkerMessage(message); }) {
    // Records are snapshots of one growing scan: of several that came at once
    // only the newest needs showing.
    pump_.KeepNewestOnly(kMsgRecordCopy);
}

CDetailsScan::~CDetailsScan() {
    pump_.Detach();
    if (worker_) {
        worker_->cancel_event.Set();
        worker_.reset();  // waits for the thread
    }
}

DetailsOpen CDetailsScan::Open(CDetailsPages& pages, const std::string& font_family) {
    wrapper_.ReleaseFrameData();
    if (worker_) {
        // A decode for the spectrum may still run; it stops within a piece.
        worker_->cancel_event.Set();
        worker_.reset();
        pump_.Drop();
    }
    wrapper_.Drop();
    pages_ = &pages;
    pages_->DestroySpectrumPage();
    pages_->RemoveTabs();
    record_ = ZeroRecord();
    scanned_ = false;

    if (!wrapper_.Attach(path_)) {
        return DetailsOpen::kNoFile;
    }
    CMediaFileInterface* media = wrapper_.File();
    if (media == nullptr || !media->CreatePages(font_family, *pages_, 0)) {
        return DetailsOpen::kNoPages;
    }
    if (media->GetFileTypeCode() == kMpegAudioKind) {
        pages_->AddSpectrumTab();
    }
    return DetailsOpen::kOpened;
}

bool CDetailsScan::shows_progress() const {
    return (wrapper_.GetFeatureMask() & kFeatureProgress) != 0;
}

void CDetailsScan::Run() {
    if (CMediaFileInterface* media = wrapper_.File()) {
        media->MovePages(pages_->PageAreaRect());
    }
    Log("CInfoDlg::OnRefresh beginning thread");
    std::optional<SpectrumJob> spectrum;
    if (pages_->SpectrumPage() != nullptr) {
        spectrum = SpectrumJob{path_, AudioFormat::kMpeg};
    }
    worker_ = std::make_unique<CDetailsThread>();
    worker_->Start(pump_.target(), &wrapper_, std::make_shared<QtUserNotifier>(),
                   std::move(spectrum));
}

void CDetailsScan::Close() {
    closed_ = true;
    if (worker_) {
        worker_->cancel_event.Set();
    }
}

void CDetailsScan::WhenEnded(QObject* context, std::function<void()> ended) {
    // The worker ends at its next progress call; the window is gone already,
    // so the wait costs the user nothing and the event loop keeps running.
    if (!running()) {
        QMetaObject::invokeMethod(context, std::move(ended), Qt::QueuedConnection);
        return;
    }
    auto* watch = new QTimer(context);
    QObject::connect(watch, &QTimer::timeout, context, [this, watch, ended = std::move(ended)] {
        if (!running()) {
            watch->stop();
            ended();
        }
    });
    watch->start(kWorkerWatchMs);
}

bool CDetailsScan::TakeWorkerMessage(Message& message) {
    if (closed_) {
        return false;  // the window is gone; what the messages carry is freed
    }
    if (message.id == kMsgRecordCopy) {
        if (auto* record = std::get_if<std::unique_ptr<ScanRecord>>(&message.payload)) {
            RecordArrived(**record);
        }
    } else if (message.id == kMsgProgress) {
        if (auto* series = std::get_if<std::unique_ptr<FrameSeries>>(&message.payload)) {
            SeriesArrived(std::move(*series));
        }
    } else if (message.id == kMsgSpectrumProgress || message.id == kMsgSpectrum) {
        SpectrumArrived(message);
    } else if (message.id == kMsgCloseRequest) {
        events_.close_requested();
        return false;
    }
    return true;
}

void CDetailsScan::SpectrumArrived(Message& message) {
    CSpectrumPage* page = pages_->SpectrumPage();
    if (page == nullptr) {
        return;
    }
    if (message.id == kMsgSpectrumProgress) {
        page->ShowProgress(static_cast<int>(message.wparam));
    } else if (auto* spectrum = std::get_if<std::unique_ptr<DetailsSpectrum>>(&message.payload)) {
        page->ShowSpectrum(std::move(*spectrum));
    }
}

int CDetailsScan::ProgressPercent(const ScanRecord& record) {
    if (!(record.length_seconds > 0) || record.sample_rate <= 0) {
        return 0;
    }
    // Samples per frame: 1152 for MPEG-1, 576 for MPEG-2 and 2.5.
    const double samples =
        static_cast<double>(record.frames) * 576.0 * (record.is_mpeg1 != 0 ? 2.0 : 1.0);
    const double percent =
        samples / record.sample_rate * 100.0 / static_cast<double>(record.length_seconds);
    return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

void CDetailsScan::RecordArrived(const ScanRecord& record) {
    record_ = record;
    AttributeTexts texts;
    record_.quality_class = BuildAttributeTexts(texts, record_, false);
    events_.progressed(ProgressPercent(record_));
    if (CMediaFileInterface* media = wrapper_.File()) {
        media->SetScanResult(record_);
    }
}

void CDetailsScan::SeriesArrived(std::unique_ptr<FrameSeries> series) {
    scanned_ = true;
    if (CMediaFileInterface* media = wrapper_.File()) {
        media->UpdatePages(record_, series.get());
    }
    series.reset();
    // The worker has filled the checks by the time it sends the series.
    const FileChecks checks = worker_ ? worker_->checks() : FileChecks{};
    const std::vector<Finding> findings = CollectFindings(record_, checks);
    // The lengths and the audio hash follow the findings: Shown Length and
    // the hash come from the checks too.
    AttributeTexts texts;
    BuildAttributeTexts(texts, record_, false);
    FillCheckTexts(texts, findings, record_, checks);
    const QString report = QString::fromStdString(
        FindingsReport(findings) + GroupReport("Length", texts) + GroupReport("Identity", texts));
    for (CTextInfoDlg* page : pages_->findChildren<CTextInfoDlg*>()) {
        page->SetFindings(report);
    }
    events_.finished();
}

}  // namespace vandrel
