// The autostart entry in the test's private XDG_CONFIG_HOME.
#include "platform/services/autostart/XdgAutostart.h"
#include "support/TestFiles.h"


#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::readFile;
using hourloom::test::writeFile;

TEST(XdgAutostart, WritesAnEntryThatStartsTheExecutableOrFails)
{
    const QString path = XdgAutostart::entryPath();
    EXPECT_EQ(path, qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/hourloom.desktop");
    QFile::remove(path);

    ASSERT_TRUE(XdgAutostart("/opt/Hour loom/bin/hourloom").registerMainApp());
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    EXPECT_EQ(entry.value("Type"), "Application");
    EXPECT_EQ(entry.value("Name"), "Hourloom");
    EXPECT_EQ(entry.value("X-GNOME-Autostart-enabled"), "true");
    EXPECT_TRUE(readFile(path).value_or("").contains("\nExec=\"/opt/Hour loom/bin/hourloom\"\n"));

    // Characters the shell or the entry format would read are escaped.
    EXPECT_TRUE(XdgAutostart(R"(/tmp/a"b$c\d%e)").entry().contains(R"(Exec="/tmp/a\\"b\\$c\\\\d%%e")"));

    // It fails for a relative path, and where the entry cannot be written.
    EXPECT_FALSE(XdgAutostart("relative/hourloom").registerMainApp());

    const QString folder = QFileInfo(XdgAutostart::entryPath()).absolutePath();
    QDir(folder).removeRecursively();
    ASSERT_TRUE(writeFile(folder)) << "a file where the folder should be";
    EXPECT_FALSE(XdgAutostart("/usr/bin/hourloom").registerMainApp());
    QFile::remove(folder);
}
