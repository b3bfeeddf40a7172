#include "platform/desktops/entries/DesktopApplication.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/wlroots/WlrootsWorkspace.h"

#include "platform/services/ScopedEnvironment.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <thread>

using namespace hourloom;
using hourloom::test::ScopedEnvironment;
using hourloom::test::writeFile;

namespace {

DesktopEntry entry(const QString &text, const QString &id = QStringLiteral("app"), const QStringList &languages = {})
{
    auto parsed = DesktopEntry::parse(id, text.toUtf8(), languages);
    EXPECT_TRUE(parsed.has_value()) << text.toStdString();
    return parsed.value_or(DesktopEntry{});
}

} // namespace

TEST(DesktopEntryIndex, ReadsTheMainGroupOfApplicationEntriesOnlyAndFindsTheApplicationByTheFirstRuleThatAnswers)
{
    const DesktopEntry files = entry(QStringLiteral("# comment\n[Desktop Entry]\nType=Application\nName=Files\nName[de]=Dateien\n"
                                                    "Name[de_AT]=Dateien (AT)\nExec=\"/usr/bin/env\" --flag %U\nStartupWMClass=org.gnome.Nautilus\n"
                                                    "[Desktop Action new]\nName=New Window\n"),
                                     QStringLiteral("org.gnome.Nautilus"), DesktopEntryIndex::languagesFor(QStringLiteral("de_DE.UTF-8")));
    EXPECT_EQ(files.name, "Dateien");
    EXPECT_EQ(files.startupWMClass, "org.gnome.Nautilus");
    EXPECT_EQ(files.program, "/usr/bin/env");

    EXPECT_FALSE(DesktopEntry::parse("x", "[Desktop Entry]\nType=Link\nName=A link\n", {}));
    EXPECT_FALSE(DesktopEntry::parse("x", "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n", {}));
    EXPECT_FALSE(DesktopEntry::parse("x", "[Desktop Entry]\nType=Application\n", {}));
    EXPECT_FALSE(DesktopEntry::parse("x", "[Other]\nType=Application\nName=Elsewhere\n", {}));
    EXPECT_EQ(entry(QStringLiteral("[Desktop Entry]\nType=Application\nName=Gone\nExec=no-such-program-anywhere\n")).program, std::nullopt);

    EXPECT_EQ(DesktopEntryIndex::languagesFor(QStringLiteral("sr_RS.UTF-8@latin")),
              (QStringList{"sr_RS@latin", "sr_RS", "sr@latin", "sr"}));
    EXPECT_TRUE(DesktopEntryIndex::languagesFor(QStringLiteral("C.UTF-8")).isEmpty());

    // The index finds the application by the first rule that answers.
    const DesktopEntryIndex index({
        DesktopEntry{"org.gnome.TextEditor", "Text Editor", std::nullopt, "/usr/bin/gnome-text-editor"},
        DesktopEntry{"debian-xterm", "XTerm", "XTerm", "/usr/bin/xterm"},
        DesktopEntry{"chromium", "Chromium Web Browser", "chromium", "/usr/lib/chromium/chromium"},
        DesktopEntry{"vim", "Vim", std::nullopt, "/usr/bin/vim"},
        DesktopEntry{"gvim", "GVim", std::nullopt, "/usr/bin/vim"},
    });
    auto nameFor = [&](const WindowFacts &facts) { return describeApplication(index, facts); };

    // The application id wins, also given as a file name.
    EXPECT_EQ(nameFor({"xterm", "XTerm", "org.gnome.TextEditor", std::nullopt}).bundleIdentifier, "org.gnome.TextEditor");
    EXPECT_EQ(nameFor({std::nullopt, std::nullopt, "/usr/share/applications/chromium.desktop", std::nullopt}).localizedName, "Chromium Web Browser");
    // Unless the id may be the desktop's guess: the entry declaring the exact class wins then.
    EXPECT_EQ(nameFor({"chromium", "chromium", "debian-xterm", std::nullopt, true}).bundleIdentifier, "chromium");
    EXPECT_EQ(nameFor({std::nullopt, "Chromium", "debian-xterm", std::nullopt, true}).bundleIdentifier, "debian-xterm");
    // StartupWMClass: the class, then the instance.
    EXPECT_EQ(nameFor({"xterm", "XTerm", std::nullopt, std::nullopt}).bundleIdentifier, "debian-xterm");
    EXPECT_EQ(nameFor({"chromium", "Chromium-browser", std::nullopt, std::nullopt}).bundleIdentifier, "chromium");
    // A class the compositor lowered still finds its entry; an exact match elsewhere wins over it.
    EXPECT_EQ(nameFor({"xterm", "xterm", std::nullopt, std::nullopt}).bundleIdentifier, "debian-xterm");
    EXPECT_EQ(nameFor({"chromium", "xterm", std::nullopt, std::nullopt}).bundleIdentifier, "chromium");
    // The id against the class, case-insensitively and by its last reverse-DNS part.
    EXPECT_EQ(nameFor({"gnome-text-editor", "TextEditor", std::nullopt, std::nullopt}).localizedName, "Text Editor");
    // The one entry running the program; two entries for one program name neither.
    EXPECT_EQ(nameFor({std::nullopt, std::nullopt, std::nullopt, "/usr/bin/gnome-text-editor"}).localizedName, "Text Editor");
    const RunningApplication ambiguous = nameFor({std::nullopt, std::nullopt, std::nullopt, "/usr/bin/vim"});
    EXPECT_EQ(ambiguous.localizedName, "vim");
    EXPECT_EQ(ambiguous.bundleIdentifier, "/usr/bin/vim");

    // Without an entry: the class names it; with nothing known at all, nothing is made up.
    const RunningApplication byClass = nameFor({"xlogo", "XLogo", std::nullopt, "/usr/bin/xlogo"});
    EXPECT_EQ(byClass.localizedName, "XLogo");
    EXPECT_EQ(byClass.bundleIdentifier, "XLogo");
    const RunningApplication unknown = nameFor({});
    EXPECT_FALSE(unknown.localizedName.has_value());
    EXPECT_FALSE(unknown.bundleIdentifier.has_value());
    // Nor for a Wayland window without an app id: it is not an application named "".
    const RunningApplication noAppId = WlrootsWorkspace::describeAppId(index, QString());
    EXPECT_FALSE(noAppId.localizedName.has_value());
    EXPECT_FALSE(noAppId.bundleIdentifier.has_value());
}

TEST(DesktopEntryIndex, ReadsOnlyRegularFilesOfSensibleSizeAndNeverBlocks)
{
    QTemporaryDir home;
    QTemporaryDir system;
    const QString applications = home.filePath(QStringLiteral("applications"));
    ASSERT_TRUE(QDir().mkpath(applications));
    ASSERT_TRUE(writeFile(applications + QStringLiteral("/org.example.Good.desktop"), "[Desktop Entry]\nType=Application\nName=Good\n"));
    // Followed: installed entries are often links into a package's folder.
    ASSERT_TRUE(QFile::link(applications + QStringLiteral("/org.example.Good.desktop"), applications + QStringLiteral("/org.example.Linked.desktop")));
    // Over the size limit, though it starts like an entry.
    ASSERT_TRUE(writeFile(applications + QStringLiteral("/org.example.Huge.desktop"),
                          "[Desktop Entry]\nType=Application\nName=Huge\n#" + QByteArray(2 * 1024 * 1024, 'x') + '\n'));
    // A FIFO, directly and through a link: opening one for reading waits for a writer.
    const QByteArray fifo = QFile::encodeName(home.filePath(QStringLiteral("fifo")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QFile::decodeName(fifo), applications + QStringLiteral("/org.example.Fifo.desktop")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(applications + QStringLiteral("/org.example.Pipe.desktop")).constData(), 0600), 0);

    const ScopedEnvironment dataFolders({{"XDG_DATA_HOME", home.path()}, {"XDG_DATA_DIRS", system.path()}});
    std::promise<DesktopEntryIndex> built;
    std::future<DesktopEntryIndex> index = built.get_future();
    std::thread reader([&built] { built.set_value(DesktopEntryIndex::fromSystem()); });
    const bool finished = index.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!finished) {
        // Let a reader stuck on a FIFO go, so the test ends with a failure rather than a hang.
        for (const QByteArray &path : {fifo, QFile::encodeName(applications + QStringLiteral("/org.example.Pipe.desktop"))}) {
            for (int attempt = 0; attempt < 100 && index.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready; ++attempt) {
                const int writer = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0)
                    ::close(writer);
            }
        }
    }
    reader.join();
    ASSERT_TRUE(finished) << "reading the desktop entries blocked on a FIFO";

    const DesktopEntryIndex entries = index.get();
    const auto nameOf = [&](const char *applicationId) {
        const DesktopEntry *found = entries.find({std::nullopt, std::nullopt, QString::fromLatin1(applicationId), std::nullopt});
        return found ? found->name : QStringLiteral("<none>");
    };
    EXPECT_EQ(nameOf("org.example.Good"), "Good");
    EXPECT_EQ(nameOf("org.example.Linked"), "Good");
    EXPECT_EQ(nameOf("org.example.Huge"), "<none>");
    EXPECT_EQ(nameOf("org.example.Fifo"), "<none>");
}
