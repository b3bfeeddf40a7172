#pragma once

#include "core/ports/KeychainHelperProtocol.h"

#include <chrono>

namespace hourloom {

// The credential store over the desktop's Secret Service (GNOME Keyring, KWallet) through
// libsecret. Items are matched by the attributes service and account alone, so they are the
// same items that `secret-tool store/lookup service ... account ...` sees.
//
// libsecret blocks while a keyring prompt shows, with no time-out. The calls therefore run one
// after another on a worker thread, and a call that shows nothing is given up (and cancelled)
// after the deadline: a late read counts as no item, a late save as a failed save; a late delete
// is still done, when the worker reaches it, with its caller gone on at the deadline. A call
// behind a prompt (the login keyring locked, as an automatic login leaves it) is never given
// up: a read waits for the person, however long; a save or delete returns at the deadline and
// what it leaves is held in memory, for the reads, until its call ends.
//
// Without a session bus, without a Secret Service on it, or once the user dismissed its prompt,
// the tokens are kept in memory for this run only, shared by every KeychainHelper, and standard
// output says so once. Any other failure of a save is "Could not save Keychain data".
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
