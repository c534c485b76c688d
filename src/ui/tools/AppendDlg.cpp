#include "ui/tools/AppendDlg.h"
