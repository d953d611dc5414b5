// `test_gui Class [Qt Test options]` runs one test class, as ctest does for
// each in its own settings folder: classes store settings the next would read.
#include <QApplication>
#include <map>

#include "WindowFixture.h"

namespace {

std::map<std::string, std::function<std::unique_ptr<QObject>()>>& Classes() {
    static std::map<std::string, std::function<std::unique_ptr<QObject>()>> classes;
    return classes;
}

}  // namespace

bool tsy::test::RegisterGuiTest(const char* name, std::function<std::unique_ptr<QObject>()> make) {
    return Classes().emplace(name, std::move(make)).second;
}

int main(int argc, char** argv) {
    const auto c = argc > 1 ? Classes().find(argv[1]) : Classes().end();
    if (c == Classes().end()) {
        for (const auto& [name, make] : Classes())
            qWarning("usage: test_gui %s [Qt Test options]", name.c_str());
        return 2;
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);  // as QTEST_MAIN does
    argv[1] = argv[0];                        // Qt Test reads the options after the name
    return QTest::qExec(c->second().get(), argc - 1, argv + 1);
}
