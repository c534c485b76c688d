#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QObject>

namespace vandrel::test {

// The QtTest classes of the user-interface tests register themselves here;
// one executable runs them all.
using UiTestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<UiTestFactory>& UiTests();

struct UiTestRegistration {
    explicit UiTestRegistration(UiTestFactory factory) { UiTests().push_back(std::move(factory)); }
};

}  // namespace vandrel::test

// Registers a QtTest class: VANDREL_UI_TEST(ListTest)
#define VANDREL_UI_TEST(Class)                                                                     \
    static const ::vandrel::test::UiTestRegistration kRegister##Class(                             \
        [] { return std::unique_ptr<QObject>(new Class); })
