#include "PasswordHasher.h"

#include <QCryptographicHash>

#include <sodium.h>

#include <stdexcept>

namespace hourloom::devserver {
namespace {

constexpr qsizetype legacyHashSize = 32;

bool isArgon2(const StoredPassword &stored)
{
    return stored.salt.isEmpty() && stored.hash.startsWith(crypto_pwhash_STRPREFIX);
}

} // namespace

template<typename Work>
auto PasswordHasher::inSlot(Work work) const
{
    if (!slots_.try_acquire_for(slotWait))
        throw HashingBusy();
    struct Release {
        std::counting_semaphore<concurrentHashes> &taken;
        ~Release() { taken.release(); }
    } release{slots_};
    return work();
}

PasswordHasher::PasswordHasher(Cost cost)
{
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot be initialised");
    const bool interactive = cost == Cost::Interactive;
    opsLimit_ = interactive ? crypto_pwhash_OPSLIMIT_INTERACTIVE : crypto_pwhash_OPSLIMIT_MIN;
    memLimit_ = interactive ? crypto_pwhash_MEMLIMIT_INTERACTIVE : crypto_pwhash_MEMLIMIT_MIN;
    decoy_ = hash(QStringLiteral("no account has this password"));
}

StoredPassword PasswordHasher::hash(const QString &password) const
{
    const QByteArray utf8 = password.toUtf8();
    char encoded[crypto_pwhash_STRBYTES];
    const int failed = inSlot([&] { return crypto_pwhash_str_alg(encoded, utf8.constData(), utf8.size(), opsLimit_, memLimit_, crypto_pwhash_ALG_ARGON2ID13); });
    if (failed != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return {QByteArray(), QByteArray(encoded)};
}

bool PasswordHasher::verify(const StoredPassword &stored, const QString &password) const
{
    const QByteArray utf8 = password.toUtf8();
    if (isArgon2(stored)) {
        // The encoded text is NUL-terminated for the library.
        const QByteArray encoded = stored.hash + '\0';
        return inSlot([&] { return crypto_pwhash_str_verify(encoded.constData(), utf8.constData(), utf8.size()) == 0; });
    }
    if (stored.salt.isEmpty() || stored.hash.size() != legacyHashSize)
        return false;
    const QByteArray computed = QCryptographicHash::hash(stored.salt + utf8, QCryptographicHash::Sha256);
    return sodium_memcmp(computed.constData(), stored.hash.constData(), legacyHashSize) == 0;
}

bool PasswordHasher::needsRehash(const StoredPassword &stored) const
{
    if (!isArgon2(stored))
        return true;
    const QByteArray encoded = stored.hash + '\0';
    return crypto_pwhash_str_needs_rehash(encoded.constData(), opsLimit_, memLimit_) != 0;
}

void PasswordHasher::verifyNothing(const QString &password) const
{
    (void)verify(decoy_, password);
}

} // namespace hourloom::devserver
