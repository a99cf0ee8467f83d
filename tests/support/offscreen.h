// Tests and benchmarks run in CI and over ssh, where there is no display: before the application
// object, choose the offscreen platform unless one is asked for.
#pragma once

#include <QtGlobal>

inline void chooseOffscreenUnlessAsked() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}
