// The window tests need a QApplication. Without a display they draw offscreen.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // Tests close windows without ending the application.
    QApplication::setQuitOnLastWindowClosed(false);
    // What the windows keep between starts stays out of the user's settings.
    QTemporaryDir ajustes;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ajustes.path());
    return RUN_ALL_TESTS();
}
