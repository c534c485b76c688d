#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "engine/core/ScanRecord.h"
#include "tools/Append.h"
#include "ui/common/WorkerPump.h"

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace vandrel {

// "MP3 Concatenation": joins the list's file (input 1) and a second MP3 file
// into a new one at frame boundaries, with the ID3v1 tag the user picks. The
// join runs on its own thread with its progress shown; Cancel stops it, and
// no failed or stopped join leaves a file behind. Modal; GUI thread only.
class CAppendDlg : public QDialog {
    Q_OBJECT
public:
    // `record` is input 1's scan result as the list holds it; `name` goes
    // into the caption.
    CAppendDlg(const std::string& path, const std::string& name, const ScanRecord& record,
               QWidget* parent = nullptr);
    // Stops a running join and waits for it.
    ~CAppendDlg() override;

    QLineEdit* Input1Edit() const { return input1_; }
    QLineEdit* Input2Edit() const { return input2_; }
    QLineEdit* OutputEdit() const { return output_; }
    QRadioButton* CopyFirstButton() const { return copy_first_; }
    QRadioButton* CopySecondButton() const { return copy_second_; }
    QRadioButton* IgnoreButton() const { return ignore_; }
    QCheckBox* NewHeaderBox() const { return new_header_; }
    QPushButton* OkButton() const { return ok_; }
    QProgressBar* ProgressBar() const { return progress_; }
    bool working() const { return worker_ != nullptr; }

public slots:
    // OK: checks the paths and starts the join.
    void accept() override;
    // Cancel: stops a running join first.
    void reject() override;

private:
    void BrowseInput2();
    void BrowseOutput();
    QString StartFolder() const;
    bool TakeWorkerMessage(Message& message);
    void StopWorker();

    ScanRecord record_;
    WorkerPump pump_;
    std::unique_ptr<CAppendThread> worker_;

    QLineEdit* input1_ = nullptr;
    QLineEdit* input2_ = nullptr;
    QLineEdit* output_ = nullptr;
    QRadioButton* copy_first_ = nullptr;
    QRadioButton* copy_second_ = nullptr;
    QRadioButton* ignore_ = nullptr;
    QCheckBox* new_header_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace vandrel
