// `test_gui Class [Qt Test options]` runs one test class, as ctest does for
// each in its own settings folder: classes store settings the next would read.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <vector>

#include "WindowFixture.h"

namespace {

struct GuiTestClass {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};

std::vector<GuiTestClass>& Classes() {
    static std::vector<GuiTestClass> classes;
    return classes;
}

}  // namespace

bool tsy::test::RegisterGuiTest(const char* name, std::function<std::unique_ptr<QObject>()> make) {
    Classes().push_back({name, std::move(make)});
    return true;
}

int main(int argc, char** argv) {
    for (const auto& c : Classes()) {
        if (argc < 2 || std::strcmp(argv[1], c.name) != 0) continue;
        QApplication app(argc, argv);
        app.setAttribute(Qt::AA_Use96Dpi, true);  // as QTEST_MAIN does
        std::vector<char*> args(argv, argv + argc);
        args.erase(args.begin() + 1);
        const std::unique_ptr<QObject> test = c.make();
        return QTest::qExec(test.get(), int(args.size()), args.data());
    }
    std::fputs("usage: test_gui CLASS [Qt Test options]; classes:", stderr);
    for (const auto& c : Classes())
        std::fprintf(stderr, " %s", c.name);
    std::fputs("\n", stderr);
    return 2;
}
