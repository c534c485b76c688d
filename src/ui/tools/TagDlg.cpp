#include "ui/tools/TagDlg.h"

namespace vandrel {

CTagDlg::CTagDlg(const std::string& /*path*/, const ScanRecord& /*record*/, QWidget* parent)
    : QDialog(parent) {}

CTagDlg::~CTagDlg() = default;

}  // namespace vandrel
