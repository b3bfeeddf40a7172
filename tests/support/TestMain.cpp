// Runs every GoogleTest executable inside a Qt application whose user defaults live in a
// private folder, so that no test reads or writes the developer's own settings.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

int main(int argc, char *argv[])
{
    // A peer that hangs up while a test writes to it (a service refusing a body half-way, a
    // browser that quit) is a failed write for the test to judge, not the end of the process.
    std::signal(SIGPIPE, SIG_IGN);
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    // The programs the tests start inherit this: under the C locale Qt 6.8 complains on standard
    // error, which the tests read.
    qputenv("LC_ALL", "C.UTF-8");
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Hourloom"));
    QCoreApplication::setApplicationName(QStringLiteral("Hourloom"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
