#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "engine/core/ScanRecord.h"

class QTreeWidget;

namespace vandrel {

// What the dialog says when playback cannot be had. A failure the player
// reports itself follows kSyncStartFailedMessage after an empty line.
inline constexpr const char* kSyncNoPlayerMessage =
    "Sorry - unable to open the media player...\nMaybe Qt Multimedia has no backend here.";
inline constexpr const char* kSyncNoAudioOutputMessage =
    "No audio output is available on this machine.";
inline constexpr const char* kSyncCannotSeekMessage = "Unable to seek in the file...";
inline constexpr const char* kSyncStartFailedMessage = "Unable to start playback...";

// Plays stretches of one file. The dialog owns it from its opening to its
// closing; GUI thread only.
class SyncPlayer {
public:
    virtual ~SyncPlayer() = default;
    // Why nothing can be played, or empty when a PlayRange may be tried.
    virtual QString Problem() const = 0;
    // Plays from start_ms to stop_ms of the file, ending a playback that is
    // still going.
    virtual void PlayRange(int64_t start_ms, int64_t stop_ms) = 0;

    // Told, at most once a PlayRange, when that playback fails later on.
    std::function<void(const QString& message)> on_failure;
};

// The stored sync errors of a scanned file, and a few seconds of the audio
// around each on a double click. Modal; GUI thread only.
class CSyncDlg : public QDialog {
    Q_OBJECT
public:
    using PlayerFactory = std::function<std::unique_ptr<SyncPlayer>(const std::string& path)>;

    CSyncDlg(const std::string& path, const ScanRecord& record, QWidget* parent = nullptr);
    // With another player than Qt Multimedia's, made when the dialog opens.
    CSyncDlg(const std::string& path, const ScanRecord& record, PlayerFactory make_player,
             QWidget* parent = nullptr);
    ~CSyncDlg() override;

    // "hh:mm:ss", with tenths below 10 seconds; negative times count as 0.
    static QString PositionText(int64_t ms);
    // Plays the 6 seconds around the error on `row`.
    void Listen(int row);

    QTreeWidget* List() const { return list_; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenPlayer();
    void ShowFailure(const QString& message);

    std::string path_;
    std::vector<int64_t> times_ms_;  // one a row
    PlayerFactory make_player_;
    std::unique_ptr<SyncPlayer> player_;
    QTreeWidget* list_ = nullptr;
    bool showing_failure_ = false;
};

// The player on Qt Multimedia's default backend.
std::unique_ptr<SyncPlayer> MakeMediaSyncPlayer(const std::string& path);

}  // namespace vandrel
