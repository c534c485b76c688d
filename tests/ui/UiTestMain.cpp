#include <QApplication>
#include <QTest>

#include "UiTest.h"
#include "engine/media/MediaFileRegistry.h"

namespace vandrel::test {

std::vector<UiTestFactory>& UiTests() {
    static std::vector<UiTestFactory> tests;
    return tests;
}

}  // namespace vandrel::test

int main(int argc, char** argv) {
    // Widgets without a display: the tests run anywhere.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const vandrel::MediaFileTypesScope media_types;
    int failures = 0;
    for (const auto& factory : vandrel::test::UiTests()) {
        const std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
