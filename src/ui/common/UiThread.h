#pragma once

#include <QApplication>
#include <QThread>

namespace vandrel {

// Functions that only the user-interface thread may call say so with this.
inline void AssertUiThread() {
    Q_ASSERT(QThread::currentThread() == qApp->thread());
}

}  // namespace vandrel
