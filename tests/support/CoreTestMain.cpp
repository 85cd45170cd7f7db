#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>

#include "TestSupport.h"

int main(int argc, char** argv) {
    hvtest::isolateFromDesktop();
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
