#include "toolkit/Threads.h"
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Windows remember their layout per user: never this user's, nor another test's.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    // Nor a layout file of this user's or of the system's configuration.
    qputenv("XDG_CONFIG_HOME", settings.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", settings.filePath(QStringLiteral("system")).toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The workers and their connections go before the application does.
    TThread::StopWorkers();
    return result;
}
