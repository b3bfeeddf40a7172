#pragma once

#include "auth/KeychainHelperProtocol.h"

#include <chrono>

namespace hourloom {

// The credential store over the desktop's Secret Service (GNOME Keyring, KWallet) through
// libsecret. Items are matched by the attributes service and account alone, so they are the
// same items that `secret-tool store/lookup service ... account ...` sees.
//
// libsecret blocks while a locked keyring shows its unlock prompt, with no time-out. Each call
// therefore runs on a thread of its own and is given up after the deadline: a late read counts
// as no item, a late save as a failed save.
//
// Without any Secret Service (no session bus, or nothing serving it) the tokens are kept in
// memory for this run only, shared by every KeychainHelper, and standard output says so once.
class KeychainHelper final : public KeychainHelperProtocol {
public:
    static constexpr std::chrono::milliseconds defaultDeadline = std::chrono::seconds(5);

    explicit KeychainHelper(std::chrono::milliseconds deadline = defaultDeadline);

    QCoro::Task<void> saveItem(QByteArray data, QString service, QString account) override;
    QCoro::Task<std::optional<QByteArray>> readItem(QString service, QString account) override;
    QCoro::Task<void> deleteItem(QString service, QString account) override;

private:
    std::chrono::milliseconds deadline_;
};

} // namespace hourloom
