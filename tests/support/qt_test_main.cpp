// The tests that need a QApplication (the windows, the Qt views) run on the
// offscreen platform unless another one is asked for.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelNameChange"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
