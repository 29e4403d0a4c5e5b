#include <QGuiApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

// The catalogue paints its PDF export, which needs fonts and so a GUI application, but no widgets.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
