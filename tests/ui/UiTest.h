#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace vandrel::test {

// The QtTest classes of the user-interface tests register themselves here;
// one executable runs them all, or the one named first on its command line
// ("ui_tests FrameTest [QtTest options]").
struct UiTestClass {
    std::string name;
    std::function<std::unique_ptr<QObject>()> make;
};
std::vector<UiTestClass>& UiTests();

// Notes the text of every message box that shows, and closes it: with the
// `answer` button when the box has one, else as Esc would.
class MessageBoxWatch : public QObject {
public:
    MessageBoxWatch() { qApp->installEventFilter(this); }
    ~MessageBoxWatch() override { qApp->removeEventFilter(this); }
    QStringList shown;
    QMessageBox::StandardButton answer = QMessageBox::NoButton;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box != nullptr && event->type() == QEvent::Show) {
            shown.push_back(box->text());
            QTimer::singleShot(0, box, [box, answer = answer] {
                if (QAbstractButton* button = box->button(answer)) {
                    button->click();
                } else {
                    box->done(0);
                }
            });
        }
        return false;
    }
};

// Runs `interact` on the next modal window as soon as it shows.
inline void OnNextModal(std::function<void(QWidget*)> interact) {
    QTimer::singleShot(0, [interact = std::move(interact)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            OnNextModal(interact);
            return;
        }
        interact(modal);
    });
}

struct UiTestRegistration {
    explicit UiTestRegistration(UiTestClass test) { UiTests().push_back(std::move(test)); }
};

}  // namespace vandrel::test

// Registers a QtTest class: VANDREL_UI_TEST(ListTest)
#define VANDREL_UI_TEST(Class)                                                                     \
    static const ::vandrel::test::UiTestRegistration kRegister##Class(                             \
        {#Class, [] { return std::unique_ptr<QObject>(new Class); }})
