#pragma once

#include "support/PrivateSessionBus.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace hourloom::test {

// A private session bus with gnome-keyring serving the Secret Service and its login keyring
// unlocked, for the whole test process: libsecret connects to the session bus once per process.
// The keyring's files live in a temporary folder, never the user's.
// Tests that need it assert isReady() in their SetUp: without the keyring they fail rather than
// being skipped, which a failing environment would make them.
class KeyringSession final : public ::testing::Environment {
public:
    // onThisProcessBus: on the session bus this process uses already, a private desktop's own.
    explicit KeyringSession(bool onThisProcessBus = false)
        : onThisProcessBus_(onThisProcessBus)
    {
    }
    void SetUp() override;
    void TearDown() override;

    static bool isReady() { return ready(); }
    static constexpr char password[] = "hourloom-test-keyring";

    // Locks the login keyring, as an automatic login leaves it, its unlock prompt to show on the
    // X display (gcr-prompter, which the bus starts); whether it is locked.
    static void lockLogin(const QString &promptDisplay);
    static bool loginLocked();
    static bool daemonRunning() { return instance_->keyring_.state() == QProcess::Running; }

    // secret-tool run on the private bus; its standard output, or fails the test.
    static QByteArray secretTool(const QStringList &arguments, const QByteArray &input = {});

private:
    static inline KeyringSession *instance_ = nullptr;
    static bool &ready()
    {
        static bool value = false;
        return value;
    }
    bool start();
    bool waitUntilReady();

    bool onThisProcessBus_;
    QTemporaryDir home_;
    std::unique_ptr<PrivateSessionBus> bus_;
    QProcess keyring_;
};

} // namespace hourloom::test
