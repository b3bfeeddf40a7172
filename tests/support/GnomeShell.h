#pragma once

#include "DesktopDriver.h"
#include "PrivateSessionBus.h"
#include "TestProcesses.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <initializer_list>
#include <memory>
#include <optional>

namespace hourloom::test {

// A private headless GNOME Shell on Wayland for tests, with its own session bus, system bus and
// folders, and the agent's shell extension installed and enabled before the shell starts (a shell
// loads extensions only at start). Alpha is an X11 terminal on its Xwayland, beta and gamma are
// Wayland windows. The shell starts slowly: start one per test process.
//
// The constructor points this process at the shell: DBUS_SESSION_BUS_ADDRESS, XDG_DATA_HOME and
// XDG_RUNTIME_DIR are set to the shell's, so it must run before the process first uses D-Bus.
class GnomeShell final : public DesktopDriver {
public:
    // extensionBundle: the folder holding gnome-extension/<form>/<uuid>, as beside the agent.
    explicit GnomeShell(const QString &extensionBundle = QStringLiteral(GNOME_EXTENSION_BUNDLE));
    ~GnomeShell() override;

    // Empty when the shell is up with its extension running; otherwise what went wrong.
    const QString &error() const override { return error_; }
    // What the extension installer said.
    const QString &installOutput() const { return installOutput_; }
    // Focuses the window of that desktop-entry id or WM_CLASS, through the extension's test method.
    bool activate(const TestWindow &window) override;
    // Synthetic input through Mutter's remote desktop.
    bool pressKey() override;
    bool movePointer() override;
    // Super+1: the shell starts its first favourite application, the agent's entry, as its dash
    // does: with an activation token of the key press, in the shell's own environment, whose PATH
    // finds the built agent. Only the agent's entry.
    bool startFromTheApplications(const QString &entry, const QProcessEnvironment &) override;
    bool pressEscape() override;
    // The environment a session of this shell gives its applications.
    QProcessEnvironment clientEnvironment() const override;
    PlatformBackend services(NotificationCenter &activations, double idleThreshold) override;
    void settle() override;

    // gsettings on the shell's session: what it printed, none when it failed.
    std::optional<QString> gsettings(const QStringList &arguments) const;
    // Whether the extension's name has an owner on the shell's bus.
    static bool isExtensionRunning();

private:
    QString dataHome() const { return directory_.filePath(QStringLiteral("data")); }
    bool startBuses();
    bool installAgentEntry();
    bool startShell();
    bool findXwayland();
    bool startRemoteDesktop();
    bool callRemoteDesktop(const QString &method, const QVariantList &arguments);
    // Pressed in order, released in reverse.
    bool pressKeys(std::initializer_list<unsigned> keysyms);

    QTemporaryDir directory_;
    QString error_;
    QString installOutput_;
    QProcessEnvironment environment_;
    QString xDisplay_;
    QString xAuthority_;
    QString remoteDesktopSession_;
    std::unique_ptr<PrivateSessionBus> systemBus_;
    std::unique_ptr<PrivateSessionBus> sessionBus_;
    ProcessGroup processes_;
    const QProcess *shell_ = nullptr;
};

} // namespace hourloom::test
