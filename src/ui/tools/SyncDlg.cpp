#include "ui/tools/SyncDlg.h"
