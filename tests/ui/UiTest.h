#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>

namespace vandrel::test {

// The QtTest classes of the user-interface tests register themselves here;
// one executable runs them all, or the one named first on its command line
// ("ui_tests FrameTest [QtTest options]").
struct UiTestClass {
    std::string name;
    std::function<std::unique_ptr<QObject>()> make;
};
std::vector<UiTestClass>& UiTests();

struct UiTestRegistration {
    explicit UiTestRegistration(UiTestClass test) { UiTests().push_back(std::move(test)); }
};

}  // namespace vandrel::test

// Registers a QtTest class: VANDREL_UI_TEST(ListTest)
#define VANDREL_UI_TEST(Class)                                                                     \
    static const ::vandrel::test::UiTestRegistration kRegister##Class(                             \
        {#Class, [] { return std::unique_ptr<QObject>(new Class); }})
