// Runs every GoogleTest executable inside a Qt application whose user defaults live in a
// private folder, so that no test reads or writes the developer's own settings.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Hourloom"));
    QCoreApplication::setApplicationName(QStringLiteral("Hourloom"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
