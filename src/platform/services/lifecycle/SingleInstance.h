#pragma once

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QString>

#include <functional>

class QLocalSocket;

namespace hourloom {

// One agent per user and display. The first start holds a lock on a file in a folder of the
// user's alone (privateRuntimeFolder: $XDG_RUNTIME_DIR/hourloom/ as a rule) and listens on a local socket beside it; a later start finds the
// lock held and asks the running agent, through that socket, to open its panel, handing on the
// desktop's activation token of that start (without it, a Wayland compositor keeps the focus where
// it is: the panel would open behind the user's window). The kernel
// lets go of the lock when its holder ends, however it ends: a crashed agent never blocks.
class SingleInstance {
public:
    // Takes the lock if it is free.
    explicit SingleInstance(const QString &folder = defaultFolder(), const QString &display = qEnvironmentVariable("DISPLAY"));
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // privateRuntimeFolder(): never a folder another user could enter.
    static QString defaultFolder();

    // True when this process is the one agent. Also when no private folder could be had at all
    // (no runtime folder, and neither the temporary folder nor the home folder would do):
    // better a second agent than none.
    bool isRunningAgent() const { return lockFd_ >= 0 || !lockable_; }

    // In a later start: asks the running agent to open its panel with the activation token the
    // desktop gave this start (XDG_ACTIVATION_TOKEN; empty where it gave none); true once it has
    // the request.
    bool askRunningAgentToOpenPanel(const QByteArray &activationToken = {});

    // In the running agent: called on the main loop for every such request, with its token, also
    // for those that came before it was set.
    using Handler = std::function<void(const QByteArray &activationToken)>;
    void onOpenPanelRequested(Handler handler);

private:
    void listen();
    void requested(const QByteArray &activationToken);
    void serve(QLocalSocket *client);

    QString lockPath_;
    QString socketPath_;
    int lockFd_ = -1;
    bool lockable_ = true;
    QLocalServer server_;
    Handler handler_;
    QList<QByteArray> pendingRequests_;
};

} // namespace hourloom
