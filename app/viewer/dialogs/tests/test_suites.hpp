// The dialog test classes, run one after another by main.cpp.
#ifndef LUMAPIX_VIEWER_DIALOGS_TEST_SUITES_HPP
#define LUMAPIX_VIEWER_DIALOGS_TEST_SUITES_HPP

#include <memory>

#include <QObject>

std::unique_ptr<QObject> MakeOpenDialogsTest();
std::unique_ptr<QObject> MakeEncodeSheetTest();
std::unique_ptr<QObject> MakeModeConversionDialogTest();
std::unique_ptr<QObject> MakeAssociationsDialogTest();
std::unique_ptr<QObject> MakeDebugOptionsDialogTest();
std::unique_ptr<QObject> MakeGeometryDialogsTest();

#endif
