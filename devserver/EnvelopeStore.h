#pragma once

#include "ReceivedEnvelope.h"

#include <QJsonObject>

namespace hourloom::devserver {

class AccountStore;

// The crash reports received, in the accounts' SQLite file, in the order they arrived.
class EnvelopeStore {
public:
    // Creates the table; throws std::runtime_error when it cannot.
    explicit EnvelopeStore(AccountStore &accounts);

    void store(const QString &projectId, const QString &publicKey, const ReceivedEnvelope &envelope);

    // {"envelopes": [{"project_id", "sentry_key", "header", "items"}]}.
    QJsonObject readOut();

private:
    AccountStore &accounts_;
};

} // namespace hourloom::devserver
