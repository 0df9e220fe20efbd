// GoogleTest entry for tests that need a QApplication (widgets, fonts, clipboard). Without a
// display (CI, test discovery) the offscreen platform is used.
#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
