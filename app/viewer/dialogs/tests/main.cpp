#include <QApplication>
#include <QTest>

#include "test_suites.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto make : {MakeOpenDialogsTest, MakeEncodeSheetTest, MakeModeConversionDialogTest,
                      MakeAssociationsDialogTest, MakeDebugOptionsDialogTest, MakeGeometryDialogsTest}) {
        std::unique_ptr<QObject> suite = make();
        failures += QTest::qExec(suite.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
