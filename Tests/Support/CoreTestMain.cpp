#include <QCoreApplication>

#include <gtest/gtest.h>

// Test programs of the libraries below the widgets: a core application only, so any widget
// or window such a library tried to make would fail at once.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
