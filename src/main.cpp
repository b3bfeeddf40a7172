#include "app/Configuration.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace hourloom;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Hourloom"));
    QCoreApplication::setApplicationName(QStringLiteral("Hourloom"));

    // Reading the settings checks the configuration document the build ships with.
    QTextStream out(stdout);
    out << "Hourloom " << Configuration::shortVersion().value_or(QStringLiteral("(no version)")) << " ("
        << Configuration::environment() << ", " << Configuration::rootURL().toString() << ")\n"
        << "The agent cannot track or upload yet: tracking, login and the tray arrive in later releases.\n";
    return 0;
}
