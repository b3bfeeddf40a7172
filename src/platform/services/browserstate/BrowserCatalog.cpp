#include "BrowserCatalog.h"

namespace hourloom {

const QList<BrowserFamily> &BrowserCatalog::all()
{
    // Chromium-family browsers honour $XDG_CONFIG_HOME; the installer resolves ".config" itself.
    static const QList<BrowserFamily> families{
        {"chromium", {"Chromium", "Chromium Web Browser"}, {"/chromium/chromium", "/chromium-browser/chromium-browser", "/bin/chromium"},
         ".config/chromium/NativeMessagingHosts", false, "/etc/chromium/native-messaging-hosts", ".config/chromium/External Extensions"},
        {"google-chrome", {"Google Chrome"}, {"/google/chrome/chrome"}, ".config/google-chrome/NativeMessagingHosts", false,
         "/etc/opt/chrome/native-messaging-hosts"},
        {"google-chrome-canary", {"Google Chrome Canary"}, {"/google/chrome-canary/chrome"},
         ".config/google-chrome-canary/NativeMessagingHosts"},
        {"brave", {"Brave Browser", "Brave Web Browser"}, {"/brave.com/brave/brave", "/brave-browser/brave"},
         ".config/BraveSoftware/Brave-Browser/NativeMessagingHosts", false, "/etc/brave/native-messaging-hosts"},
        {"microsoft-edge", {"Microsoft Edge"}, {"/microsoft/msedge/msedge"}, ".config/microsoft-edge/NativeMessagingHosts", false,
         "/etc/opt/edge/native-messaging-hosts"},
        {"vivaldi", {"Vivaldi"}, {"/vivaldi/vivaldi-bin", "/vivaldi/vivaldi"}, ".config/vivaldi/NativeMessagingHosts"},
        {"opera", {"Opera"}, {"/opera/opera"}, ".config/opera/NativeMessagingHosts"},
        {"firefox", {"Firefox", "Firefox ESR", "Firefox Web Browser"},
         {"/firefox/firefox", "/firefox/firefox-bin", "/firefox-esr/firefox-esr", "/firefox-esr/firefox"},
         ".mozilla/native-messaging-hosts", true, "/usr/lib/mozilla/native-messaging-hosts"},
    };
    return families;
}

QString BrowserFamily::profileFolder() const
{
    return hostManifestFolder.section(QLatin1Char('/'), 0, -2);
}

const BrowserFamily *BrowserCatalog::forAppName(const QString &appName)
{
    for (const auto &family : all()) {
        if (family.appNames.contains(appName))
            return &family;
    }
    return nullptr;
}

const BrowserFamily *BrowserCatalog::forExecutable(const QString &path)
{
    for (const auto &family : all()) {
        for (const auto &suffix : family.executableSuffixes) {
            if (path.endsWith(suffix))
                return &family;
        }
    }
    return nullptr;
}

} // namespace hourloom
