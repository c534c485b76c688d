#pragma once

#include <string>

#include <QDialog>

#include "engine/core/ScanRecord.h"

namespace vandrel {

// The tag viewer: "Tags - [" + path + "]", a page for each header the file
// has (LAME, Xing, VBRI), the LAME tag's music CRC checked in the background.
class CTagDlg : public QDialog {
    Q_OBJECT
public:
    // `record` is the file's scan result as the list holds it.
    CTagDlg(const std::string& path, const ScanRecord& record, QWidget* parent = nullptr);
    ~CTagDlg() override;
};

}  // namespace vandrel
