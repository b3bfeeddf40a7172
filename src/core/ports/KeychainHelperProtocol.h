#pragma once

#include <QByteArray>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace hourloom {

// The credential store: one item per (service, account) holding a token's UTF-8 bytes. The
// operations complete on the main loop and never fail towards the caller: a save that fails
// is reported on standard output, a read that fails is a missing item.
class KeychainHelperProtocol {
public:
    virtual ~KeychainHelperProtocol() = default;

    // "hourloom-" + ENVIRONMENT, so that environments on one machine keep apart.
    static QString account();
    static inline const QString refreshTokenService = QStringLiteral("hourloomApiRefreshToken");
    static inline const QString accessTokenService = QStringLiteral("hourloomApiAccessToken");

    // Creates the item or replaces its data.
    virtual QCoro::Task<void> saveItem(QByteArray data, QString service, QString account) = 0;
    virtual QCoro::Task<std::optional<QByteArray>> readItem(QString service, QString account) = 0;
    virtual QCoro::Task<void> deleteItem(QString service, QString account) = 0;
};

} // namespace hourloom
