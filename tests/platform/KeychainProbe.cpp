// Uses the credential store in a process whose session bus does not exist, and reports what it
// found without printing any token.
#include "platform/secret/KeychainHelper.h"

#include <QCoreApplication>

#include <cstdio>

using namespace hourloom;

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    KeychainHelper keychain;
    const QString account = KeychainHelperProtocol::account();
    const auto kept = [&](const QString &service, const QByteArray &expected) {
        return QCoro::waitFor(keychain.readItem(service, account)) == expected ? "kept" : "none";
    };
    QCoro::waitFor(keychain.saveItem("access token", KeychainHelperProtocol::accessTokenService, account));
    QCoro::waitFor(keychain.saveItem("refresh token", KeychainHelperProtocol::refreshTokenService, account));
    std::printf("access: %s\n", kept(KeychainHelperProtocol::accessTokenService, "access token"));
    std::printf("refresh: %s\n", kept(KeychainHelperProtocol::refreshTokenService, "refresh token"));
    QCoro::waitFor(keychain.deleteItem(KeychainHelperProtocol::accessTokenService, account));
    std::printf("after delete: access %s, refresh %s\n", kept(KeychainHelperProtocol::accessTokenService, "access token"),
                kept(KeychainHelperProtocol::refreshTokenService, "refresh token"));
    return 0;
}
