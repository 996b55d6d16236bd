#include "app/SanitizerOptions.h"
#include <QCoreApplication>
#include <gtest/gtest.h>

// For suites that must run without a display or a widget: the engine's own.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
