#include "ui/tools/SyncDlg.h"

#include <algorithm>

#include <QAudioDevice>
#include <QAudioOutput>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "store/Log.h"

namespace vandrel {

namespace {

// The stretch played for an error: from kLeadMs before it, kPlayMs long.
constexpr int64_t kLeadMs = 3000;
constexpr int64_t kPlayMs = 6000;
// How long a playback may overrun its stretch before it is stopped anyway
// (a backend whose position never moves), and how long a file may take to
// become seekable.
constexpr int kOverrunMs = 3000;
constexpr int kSeekableWithinMs = 5000;

QString StartFailed(const QString& detail) {
    QString message = QString::fromUtf8(kSyncStartFailedMessage);
    if (!detail.isEmpty()) {
        message += QStringLiteral("\n\n") + detail;
    }
    return message;
}

// Qt Multimedia's player. A seek before the backend knows the file's length
// is lost (GStreamer), so the first playback runs muted from the start until
// the length is known, and seeks then.
class MediaSyncPlayer : public SyncPlayer {
public:
    explicit MediaSyncPlayer(const std::string& path) {
        player_.setAudioOutput(&output_);
        guard_.setSingleShot(true);
        QObject::connect(&player_, &QMediaPlayer::durationChanged, &player_,
                         [this] { SeekWhenReady(); });
        QObject::connect(&player_, &QMediaPlayer::seekableChanged, &player_,
                         [this] { SeekWhenReady(); });
        QObject::connect(&player_, &QMediaPlayer::positionChanged, &player_,
                         [this](qint64 position) {
                             if (active_ && !seeking_ && position >= stop_ms_) {
                                 Finish();
                             }
                         });
        QObject::connect(&player_, &QMediaPlayer::mediaStatusChanged, &player_,
                         [this](QMediaPlayer::MediaStatus status) {
                             if (active_ && status == QMediaPlayer::InvalidMedia) {
                                 Fail(StartFailed(player_.errorString()));
                             } else if (active_ && status == QMediaPlayer::EndOfMedia) {
                                 Finish();
                             }
                         });
        QObject::connect(&player_, &QMediaPlayer::errorOccurred, &player_,
                         [this](QMediaPlayer::Error, const QString& text) {
                             if (first_error_.isEmpty()) {
                                 first_error_ = text;
                             }
                             if (active_) {
                                 Fail(StartFailed(text));
                             }
                         });
        QObject::connect(&guard_, &QTimer::timeout, &player_, [this] {
            if (seeking_) {
                Fail(QString::fromUtf8(kSyncCannotSeekMessage));
            } else {
                Finish();
            }
        });
        // Paths are bytes in the system's encoding.
        player_.setSource(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
    }
    ~MediaSyncPlayer() override {
        active_ = false;  // nothing to finish while the player goes
        seeking_ = false;
    }

    QString Problem() const override {
        if (!player_.isAvailable()) {
            return QString::fromUtf8(kSyncNoPlayerMessage);
        }
        if (QMediaDevices::audioOutputs().isEmpty()) {
            return QString::fromUtf8(kSyncNoAudioOutputMessage);
        }
        // A file that is missing or cannot be decoded fails once and for all;
        // the first error says why, later ones tend to be consequences.
        if (player_.error() != QMediaPlayer::NoError ||
            player_.mediaStatus() == QMediaPlayer::InvalidMedia) {
            return StartFailed(first_error_.isEmpty() ? player_.errorString() : first_error_);
        }
        return {};
    }

    void PlayRange(int64_t start_ms, int64_t stop_ms) override {
        Finish();  // a playback still going ends here
        start_ms_ = start_ms;
        stop_ms_ = stop_ms;
        active_ = true;
        if (CanSeek()) {
            Seek();
            return;
        }
        seeking_ = true;
        output_.setMuted(true);
        guard_.start(kSeekableWithinMs);
        player_.play();
    }

private:
    bool CanSeek() const { return player_.isSeekable() && player_.duration() > 0; }
    void SeekWhenReady() {
        if (seeking_ && CanSeek()) {
            Seek();
        }
    }
    void Seek() {
        seeking_ = false;
        player_.setPosition(start_ms_);
        output_.setMuted(false);
        guard_.start(static_cast<int>(stop_ms_ - start_ms_) + kOverrunMs);
        player_.play();
    }
    void Finish() {
        active_ = false;
        seeking_ = false;
        guard_.stop();
        player_.stop();
    }
    void Fail(const QString& message) {
        Finish();
        if (on_failure) {
            on_failure(message);
        }
    }

    // The player goes first: what it signals while it goes finds the rest.
    int64_t start_ms_ = 0;
    int64_t stop_ms_ = 0;
    bool active_ = false;   // a playback was asked for and has not ended
    bool seeking_ = false;  // playing muted until the file's length is known
    QString first_error_;
    QTimer guard_;
    QAudioOutput output_;
    QMediaPlayer player_;
};

}  // namespace

std::unique_ptr<SyncPlayer> MakeMediaSyncPlayer(const std::string& path) {
    return std::make_unique<MediaSyncPlayer>(path);
}

CSyncDlg::CSyncDlg(const std::string& path, const ScanRecord& record, QWidget* parent)
    : CSyncDlg(path, record, MakeMediaSyncPlayer, parent) {}

CSyncDlg::CSyncDlg(const std::string& path, const ScanRecord& record, PlayerFactory make_player,
                   QWidget* parent)
    : QDialog(parent), path_(path), make_player_(std::move(make_player)) {
    setWindowTitle(tr("Sync Errors"));
    setModal(true);

    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({tr("Item"), tr("Position")});
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setAllColumnsShowFocus(true);
    list_->setColumnWidth(0, 150);
    list_->header()->setStretchLastSection(true);
    const int count = std::clamp(record.sync_errors, 0, kMaxStoredSyncErrors);
    for (int i = 0; i < count; ++i) {
        const int64_t time_ms = record.sync_error_times_ms[i];
        times_ms_.push_back(time_ms);
        new QTreeWidgetItem(list_, {QString::number(i + 1), PositionText(time_ms)});
    }
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { Listen(list_->indexOfTopLevelItem(item)); });
    list_->installEventFilter(this);  // Enter plays the current row

    auto* hint = new QLabel(tr("Double-click to listen to the error. \nNote that this playback "
                               "is very approximate for VBR files, but the list entry is "
                               "accurate."),
                            this);
    hint->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    resize(360, 340);
}

CSyncDlg::~CSyncDlg() = default;

QString CSyncDlg::PositionText(int64_t ms) {
    const int64_t clamped = std::max<int64_t>(ms, 0);
    const int64_t seconds = clamped / 1000;
    const QChar zero(u'0');
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(seconds / 3600, 2, 10, zero)
                       .arg(seconds / 60 % 60, 2, 10, zero)
                       .arg(seconds % 60, 2, 10, zero);
    if (seconds < 10) {
        text += QStringLiteral(".") + QString::number(clamped / 100 % 10);
    }
    return text;
}

void CSyncDlg::Listen(int row) {
    if (row < 0 || row >= static_cast<int>(times_ms_.size())) {
        return;
    }
    OpenPlayer();
    if (player_ == nullptr) {
        ShowFailure(QString::fromUtf8(kSyncNoPlayerMessage));
        return;
    }
    const QString problem = player_->Problem();
    if (!problem.isEmpty()) {
        ShowFailure(problem);
        return;
    }
    const int64_t start_ms = std::max<int64_t>(times_ms_[static_cast<size_t>(row)] - kLeadMs, 0);
    Log([&] { return "CSyncDlg::Listen " + path_ + " from " + std::to_string(start_ms) + " ms"; });
    player_->PlayRange(start_ms, start_ms + kPlayMs);
}

void CSyncDlg::done(int result) {
    player_.reset();  // the file is let go with the dialog
    QDialog::done(result);
}

void CSyncDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    OpenPlayer();
}

bool CSyncDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && list_->currentItem() != nullptr) {
            Listen(list_->indexOfTopLevelItem(list_->currentItem()));
            return true;  // not the OK button's
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSyncDlg::OpenPlayer() {
    if (player_ != nullptr || !make_player_) {
        return;
    }
    player_ = make_player_(path_);
    if (player_ != nullptr) {
        // The player reports from inside its own signals: the box waits for
        // them to return, and for a dialog still open.
        player_->on_failure = [this](const QString& message) {
            QMetaObject::invokeMethod(
                this,
                [this, message] {
                    if (player_ != nullptr) {
                        ShowFailure(message);
                    }
                },
                Qt::QueuedConnection);
        };
    }
}

void CSyncDlg::ShowFailure(const QString& message) {
    if (showing_failure_) {
        return;
    }
    Log([&] { return "CSyncDlg: " + message.toStdString(); });
    showing_failure_ = true;
    QMessageBox::warning(this, QString(), message);
    showing_failure_ = false;
}

}  // namespace vandrel
