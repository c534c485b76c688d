#pragma once

#include <set>

#include <QDialog>
#include <QString>
#include <QWidget>

#include "store/UserQuestion.h"

class QLineEdit;
class QTabWidget;

namespace vandrel {

// One page of the settings sheet. It edits a copy of its owner's settings:
// the controls are filled from the copy when the page is made, and Apply
// reads them back into it. The owner takes the copy only after OK.
class CSettingsPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Reads the controls back in their order. At an invalid entry it beeps,
    // puts the focus on the control, marks it and stops: the controls after
    // it are not read. False then.
    virtual bool Apply() = 0;

    // Marks `field` as holding an invalid entry until it is edited: a red
    // frame, and `expected` as its tooltip. A beep alone is easy to miss.
    static void RejectEntry(QLineEdit* field, const QString& expected);
    // Whether `field` is marked by RejectEntry.
    static bool IsRejected(const QLineEdit* field);
};

// The "Settings" sheet: the pages of the list, the tree and the cache as tabs,
// with OK and Cancel. OK applies every page that was shown, in order, and
// closes only when all took their entries; Cancel leaves every copy unread.
class SettingsSheet : public QDialog {
    Q_OBJECT
public:
    explicit SettingsSheet(QWidget* parent = nullptr);

    void AddPage(CSettingsPage* page);
    // Shows page `page` first; a number above 9 (or beyond the pages) shows the first.
    void OpenOn(int page);
    QTabWidget* tabs() const { return tabs_; }
    CSettingsPage* PageAt(int index) const;

public slots:
    void accept() override;

private:
    QTabWidget* tabs_ = nullptr;
    std::set<const CSettingsPage*> shown_;  // pages that were on screen
};

// Asks the user with a message box owned by the active window.
class QtUserQuestion : public UserQuestion {
public:
    bool AskYesNo(std::string_view caption, std::string_view text) override;
};

}  // namespace vandrel
