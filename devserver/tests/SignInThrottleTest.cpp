// Password guessing slowed down per address and per account, and passwords stored with argon2id.
#include "PasswordHasher.h"
#include "SignInThrottle.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

using namespace hourloom::devserver;

TEST(SignInThrottle, FreeAttemptsThenDoublingWaitsPerAddressAndPerAccount)
{
    qint64 now = 1'000'000;
    SignInThrottle throttle([&] { return now; });
    const QString guesser = QStringLiteral("192.0.2.7");
    const QString ada = QStringLiteral("ada@hourloom.test");
    for (int attempt = 1; attempt <= SignInThrottle::freeFailures; ++attempt)
        EXPECT_EQ(throttle.admit(guesser, ada), std::nullopt) << attempt;
    EXPECT_EQ(throttle.admit(guesser, QStringLiteral("grace@hourloom.test")), 1) << "the address waits";
    EXPECT_EQ(throttle.admit(QStringLiteral("192.0.2.8"), QStringLiteral("ADA@hourloom.test")), 1) << "so does the account";
    EXPECT_EQ(throttle.admit(QStringLiteral("192.0.2.8"), QStringLiteral("grace@hourloom.test")), std::nullopt);

    now += 999;
    EXPECT_EQ(throttle.admit(guesser, ada), 1);
    now += 1;
    EXPECT_EQ(throttle.admit(guesser, ada), std::nullopt);
    EXPECT_EQ(throttle.admit(guesser, ada), 2);
    now += 2000;
    EXPECT_EQ(throttle.admit(guesser, ada), std::nullopt);
    EXPECT_EQ(throttle.admit(guesser, ada), 4);
    for (int round = 0; round < 10; ++round) {
        now += SignInThrottle::longestWaitMs;
        EXPECT_EQ(throttle.admit(guesser, ada), std::nullopt);
    }
    EXPECT_EQ(throttle.admit(guesser, ada), 60);

    // A success at another account, from a fresh address, forgets neither the account guessed
    // at nor (from the guesser's address) the address.
    now += SignInThrottle::longestWaitMs;
    EXPECT_EQ(throttle.admit(QStringLiteral("192.0.2.9"), QStringLiteral("eve@hourloom.test")), std::nullopt);
    throttle.succeeded(QStringLiteral("192.0.2.9"), QStringLiteral("eve@hourloom.test"));
    EXPECT_EQ(throttle.admit(QStringLiteral("192.0.2.10"), ada), std::nullopt);
    EXPECT_EQ(throttle.admit(QStringLiteral("192.0.2.11"), ada), 60);
    now += SignInThrottle::longestWaitMs;
    EXPECT_EQ(throttle.admit(guesser, QStringLiteral("eve@hourloom.test")), std::nullopt);
    throttle.succeeded(guesser, QStringLiteral("eve@hourloom.test"));
    EXPECT_EQ(throttle.admit(guesser, QStringLiteral("mallory@hourloom.test")), 60);

    // The account's own success forgets its failures.
    now += SignInThrottle::longestWaitMs;
    EXPECT_EQ(throttle.admit(QStringLiteral("192.0.2.12"), ada), std::nullopt);
    throttle.succeeded(QStringLiteral("192.0.2.12"), ada);
    for (int attempt = 1; attempt <= SignInThrottle::freeFailures; ++attempt)
        EXPECT_EQ(throttle.admit(QStringLiteral("192.0.2.13"), ada), std::nullopt) << attempt;

    // And a quarter of an hour without attempts forgets both.
    now += SignInThrottle::forgetAfterMs + 1001;
    for (int attempt = 1; attempt <= SignInThrottle::freeFailures; ++attempt)
        EXPECT_EQ(throttle.admit(guesser, ada), std::nullopt) << attempt;
}

TEST(PasswordHasher, Argon2idRowsVerifyWithTheirOwnSaltAndCostAndOnlyWholeOldRowsMatch)
{
    const PasswordHasher minimal(PasswordHasher::Cost::Minimal);
    const StoredPassword stored = minimal.hash(QStringLiteral("correct horse \u00e9"));
    EXPECT_TRUE(stored.salt.isEmpty());
    EXPECT_TRUE(stored.hash.startsWith("$argon2id$v=19$m=8,t=1,p=1$")) << stored.hash.toStdString();
    EXPECT_NE(minimal.hash(QStringLiteral("correct horse \u00e9")).hash, stored.hash) << "every hash has its own salt";
    EXPECT_TRUE(minimal.verify(stored, QStringLiteral("correct horse \u00e9")));
    EXPECT_FALSE(minimal.verify(stored, QStringLiteral("correct horse e")));
    EXPECT_FALSE(minimal.verify(stored, QString()));
    EXPECT_FALSE(minimal.needsRehash(stored));

    // Old salted SHA-256 rows: verified, and rehashed at the next sign-in, in LegacyPasswords_
    // (AccountPagesTest). A cut one, or an argon2id hash beside a salt, is no match.
    const QByteArray salt("0123456789abcdef");
    EXPECT_FALSE(minimal.verify({salt, QCryptographicHash::hash(salt + "demo-password", QCryptographicHash::Sha256).left(31)},
                                QStringLiteral("demo-password")));
    EXPECT_FALSE(minimal.verify({salt, stored.hash}, QStringLiteral("correct horse \u00e9")));

    const PasswordHasher interactive(PasswordHasher::Cost::Interactive);
    EXPECT_TRUE(interactive.needsRehash(stored));
    EXPECT_TRUE(minimal.verify(interactive.hash(QStringLiteral("demo-password")), QStringLiteral("demo-password"))) << "the cost is read from the row";
}
