#include "platform/desktops/wlroots/WlrootsWorkspace.h"

#include <gtest/gtest.h>

using namespace hourloom;

namespace {

TEST(WlrootsAppId, NamesAWindowByItsEntryWhereOneMatchesAndByTheAppIdOtherwise)
{
    const DesktopEntryIndex entries({
        DesktopEntry{QStringLiteral("org.gnome.Nautilus"), QStringLiteral("Files"), std::nullopt, std::nullopt},
        DesktopEntry{QStringLiteral("jetbrains-idea"), QStringLiteral("IntelliJ IDEA"), QStringLiteral("jetbrains-idea-ce"), std::nullopt},
    });
    const auto named = [&](const QString &appId) {
        const RunningApplication application = WlrootsWorkspace::describeAppId(entries, appId);
        return std::make_pair(application.localizedName.value_or(QStringLiteral("-")), application.bundleIdentifier.value_or(QStringLiteral("-")));
    };
    using Named = std::pair<QString, QString>;
    EXPECT_EQ(named(QStringLiteral("org.gnome.Nautilus")), (Named{"Files", "org.gnome.Nautilus"}));
    // An Xwayland window's class against StartupWMClass; a bare name against the id's last part.
    EXPECT_EQ(named(QStringLiteral("jetbrains-idea-ce")), (Named{"IntelliJ IDEA", "jetbrains-idea"}));
    EXPECT_EQ(named(QStringLiteral("nautilus")), (Named{"Files", "org.gnome.Nautilus"}));
    EXPECT_EQ(named(QStringLiteral("foot")), (Named{"foot", "foot"}));
    // A window without an app id is an unknown application, not one named "".
    EXPECT_EQ(named(QString()), (Named{"-", "-"}));
}

} // namespace
