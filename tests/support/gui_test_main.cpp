// Test entry point for everything that needs an application object (widgets, message boxes).
#include <gtest/gtest.h>

#include <QApplication>

#include "offscreen.h"
#include "startup.h"

int main(int argc, char** argv) {
    chooseOffscreenUnlessAsked();
    startup::followDesktopScaling();  // as the programs do, so the widgets are tested so
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
