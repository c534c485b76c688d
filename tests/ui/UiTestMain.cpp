#include <cstring>

#include <QApplication>
#include <QTest>

#include "UiTest.h"
#include "engine/media/MediaFileRegistry.h"

namespace vandrel::test {

std::vector<UiTestClass>& UiTests() {
    static std::vector<UiTestClass> tests;
    return tests;
}

}  // namespace vandrel::test

int main(int argc, char** argv) {
    // Widgets without a display: the tests run anywhere.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const vandrel::MediaFileTypesScope media_types;
    std::vector<char*> args(argv, argv + argc);
    const char* only = nullptr;
    for (const auto& test : vandrel::test::UiTests()) {
        if (argc > 1 && test.name == argv[1]) {
            only = argv[1];
            args.erase(args.begin() + 1);
        }
    }
    int failures = 0;
    for (const auto& test : vandrel::test::UiTests()) {
        if (only == nullptr || test.name == only) {
            const std::unique_ptr<QObject> object = test.make();
            failures += QTest::qExec(object.get(), static_cast<int>(args.size()), args.data());
        }
    }
    return failures == 0 ? 0 : 1;
}
