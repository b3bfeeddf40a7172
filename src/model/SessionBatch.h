#pragma once

#include "SessionBatchProtocol.h"

#include <functional>

namespace hourloom {

class SessionBatch final : public SessionBatchProtocol {
public:
    static inline const QString unknownDevice = QStringLiteral("Unknown Device");

    // The machine a batch is recorded on: the installation's id (none until the first launch has
    // stored one) and the name the user knows it by. The composition reads them; the records
    // know no settings.
    struct Device {
        std::optional<QString> id;
        QString name = unknownDevice;
    };
    using DeviceSource = std::function<Device()>;

    // The device as given (by default none), the offset of the zone in force now.
    SessionBatch();
    explicit SessionBatch(Device device);

    AppSessionList &appSessions() override { return appSessions_; }
    const AppSessionList &appSessions() const override { return appSessions_; }
    void setAppSessions(AppSessionList appSessions) override { appSessions_ = std::move(appSessions); }

    double appSwitchingTime() const override { return appSwitchingTime_; }
    void setAppSwitchingTime(double seconds) override { appSwitchingTime_ = seconds; }
    qint64 appSwitchingCount() const override { return appSwitchingCount_; }
    void setAppSwitchingCount(qint64 count) override { appSwitchingCount_ = count; }

    std::optional<qint64> apiId() const { return apiId_; }
    std::optional<QString> deviceId() const override { return deviceId_; }
    QString device() const override { return device_; }
    qint64 timezoneOffset() const override { return timezoneOffset_; }

    // "timezone_offset" is the offset in force at the moment of encoding, and every time of the
    // body is written as wall-clock text at exactly that offset (not in the zone in force at its
    // own instant), so text minus offset is always the true instant, also for a span recorded
    // before a change to or from summer time, or spanning one.
    QByteArray encode() const override;
    QList<EncodedPart> encodeInParts(const AppSessionList &sessions, qsizetype maxBytes) const override;
    static std::shared_ptr<SessionBatch> decode(const QJsonObject &object);

    // Makes each batch with the device as the source tells it at that moment.
    static SessionBatchType type(DeviceSource device = {});

private:
    std::optional<qint64> apiId_;
    std::optional<QString> deviceId_;
    QString device_;
    AppSessionList appSessions_;
    double appSwitchingTime_ = 0;
    qint64 appSwitchingCount_ = 0;
    qint64 timezoneOffset_ = 0;
};

} // namespace hourloom
