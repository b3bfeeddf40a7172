#pragma once

#include "core/ports/ApplicationServices.h"

#include "support/FakeErrorLogger.h"
#include "support/FakePlatform.h"
#include "support/FakeTimer.h"
#include "support/FakeURLSession.h"

#include <QMap>

namespace hourloom::test {

// A credential store in memory.
class InMemoryKeychain final : public KeychainHelperProtocol {
public:
    QCoro::Task<void> saveItem(QByteArray data, QString service, QString account) override
    {
        items[{service, account}] = data;
        co_return;
    }
    QCoro::Task<std::optional<QByteArray>> readItem(QString service, QString account) override
    {
        const auto found = items.find({service, account});
        co_return found == items.end() ? std::nullopt : std::optional<QByteArray>(*found);
    }
    QCoro::Task<void> deleteItem(QString service, QString account) override
    {
        items.remove({service, account});
        co_return;
    }
    QMap<std::pair<QString, QString>, QByteArray> items;
};

class FakeCrashReporter final : public CrashReporterProtocol {
public:
    void start(const CrashReportingOptions &options) override { started.append(options); }
    const ErrorLoggerProtocol &errorLogger() const override { return logger; }
    QList<CrashReportingOptions> started;
    FakeErrorLogger logger;
};

class FakeLaunchAtLogin final : public LaunchAtLoginProtocol {
public:
    bool registerMainApp() override
    {
        ++registrations;
        return succeeds;
    }
    int registrations = 0;
    bool succeeds = true;
};

// Counts the checks the user asks for; whether one can start is the test's to say.
class FakeUpdater final : public UpdaterProtocol {
public:
    explicit FakeUpdater(bool canCheck = true)
        : canCheck_(canCheck)
    {
    }
    bool canCheckForUpdates() const override { return canCheck_; }
    void checkForUpdates() override { ++checks; }
    void setCanCheck(bool canCheck)
    {
        canCheck_ = canCheck;
        emit canCheckForUpdatesChanged(canCheck);
    }
    int checks = 0;

private:
    bool canCheck_;
};

// Substitutes for every platform service of the application.
struct FakeApplicationServices {
    FakeApplicationServices()
    {
        services.updater = std::make_shared<FakeUpdater>();
        services.keychainHelper = keychain;
        services.urlSession = urlSession;
        services.workspaceCenter = &center;
        services.workspace = workspace;
        services.eventSource = eventSource;
        services.eventTracker = eventTracker;
        services.crashReporter = crashReporter;
        services.localErrorLogger = &crashReporter->logger;
        services.launchAtLogin = launchAtLogin;
        services.timerProvider = timers.provider();
    }

    NotificationCenter center;
    FakeTimerProvider timers;
    std::shared_ptr<InMemoryKeychain> keychain = std::make_shared<InMemoryKeychain>();
    std::shared_ptr<FakeURLSession> urlSession = std::make_shared<FakeURLSession>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeEventSource> eventSource = std::make_shared<FakeEventSource>();
    std::shared_ptr<FakeEventTracker> eventTracker = std::make_shared<FakeEventTracker>();
    std::shared_ptr<FakeCrashReporter> crashReporter = std::make_shared<FakeCrashReporter>();
    std::shared_ptr<FakeLaunchAtLogin> launchAtLogin = std::make_shared<FakeLaunchAtLogin>();
    ApplicationServices services;
};

} // namespace hourloom::test
