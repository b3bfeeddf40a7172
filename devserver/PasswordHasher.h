#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <semaphore>
#include <stdexcept>

namespace hourloom::devserver {

// A password as the users table keeps it. Rows written since passwords are hashed with
// argon2id have an empty salt and the library's encoded string (algorithm, cost, salt and hash
// in one text) as the hash; older rows hold a 16-byte salt and SHA-256(salt + password).
struct StoredPassword {
    QByteArray salt;
    QByteArray hash;
};

// Thrown when no hash could start within PasswordHasher::slotWait: the request is to come back.
struct HashingBusy : std::runtime_error {
    HashingBusy()
        : std::runtime_error("every password hash is taken")
    {
    }
};

// argon2id through libsodium's crypto_pwhash. Every comparison takes constant time. A hash
// holds its memory (64 MiB at the interactive cost) while it runs, so only a few run at once,
// whatever the number of requests: the rest wait their turn, a while at most.
class PasswordHasher {
public:
    static constexpr int concurrentHashes = 4;
    static constexpr std::chrono::seconds slotWait{2};

    enum class Cost {
        // libsodium's interactive limits: 64 MiB and two passes, about 0.1 s per check.
        Interactive,
        // The library's minimum, for test suites that sign in hundreds of times; never for real accounts.
        Minimal,
    };

    // Throws std::runtime_error when libsodium cannot be initialised.
    explicit PasswordHasher(Cost cost = Cost::Interactive);

    // A fresh salt every time. Throws std::runtime_error when the memory cannot be had, and
    // HashingBusy (as verify() does) when no hash could start in time.
    StoredPassword hash(const QString &password) const;

    bool verify(const StoredPassword &stored, const QString &password) const;

    // True for the old salted SHA-256 rows and for argon2id rows of another cost.
    bool needsRehash(const StoredPassword &stored) const;

    // Spends the time of one verification, for an e-mail nobody has, so that the answer's delay
    // does not tell which addresses have accounts.
    void verifyNothing(const QString &password) const;

private:
    // Runs the work once a hash may start.
    template<typename Work>
    auto inSlot(Work work) const;

    mutable std::counting_semaphore<concurrentHashes> slots_{concurrentHashes};
    unsigned long long opsLimit_;
    size_t memLimit_;
    StoredPassword decoy_;
};

} // namespace hourloom::devserver
