#pragma once

#include "core/ports/ApplicationServices.h"
#include "platform/desktops/unsupported/UnsupportedDesktop.h"

#include "support/FakePlatform.h"
#include "support/FakeTimer.h"

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

// Answers every request with the given status and an empty answer object; keeps the bodies.
class RecordingURLSession final : public URLSessionProtocol {
public:
    QCoro::Task<URLSessionCompletion> uploadTask(URLRequest request, QByteArray body) override
    {
        requests.append({request.url.path(), body});
        co_return URLSessionCompletion{QByteArray("{}"), HTTPURLResponse{status, {}}, std::nullopt};
    }
    int status = 201;
    QList<std::pair<QString, QByteArray>> requests;
};

class FakeCrashReporter final : public CrashReporterProtocol {
public:
    class Logger final : public ErrorLoggerProtocol {
    public:
        void capture(const ReportableError &) const override {}
    };
    void start(const CrashReportingOptions &options) override { started.append(options); }
    const ErrorLoggerProtocol &errorLogger() const override { return logger; }
    QList<CrashReportingOptions> started;
    Logger logger;
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

class FakeUpdater final : public UpdaterProtocol {
public:
    bool canCheckForUpdates() const override { return true; }
    void checkForUpdates() override {}
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
        services.eventSource = std::make_shared<FakeEventSource>();
        services.eventTracker = std::make_shared<FakeEventTracker>();
        services.crashReporter = crashReporter;
        services.localErrorLogger = &crashReporter->logger;
        services.launchAtLogin = launchAtLogin;
        services.timerProvider = timers.provider();
    }

    NotificationCenter center;
    FakeTimerProvider timers;
    std::shared_ptr<InMemoryKeychain> keychain = std::make_shared<InMemoryKeychain>();
    std::shared_ptr<RecordingURLSession> urlSession = std::make_shared<RecordingURLSession>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeCrashReporter> crashReporter = std::make_shared<FakeCrashReporter>();
    std::shared_ptr<FakeLaunchAtLogin> launchAtLogin = std::make_shared<FakeLaunchAtLogin>();
    ApplicationServices services;
};

} // namespace hourloom::test
