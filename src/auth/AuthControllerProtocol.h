#pragma once

#include "AuthResult.h"

#include <QByteArray>
#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

namespace hourloom {

class KeychainHelperProtocol;
class UserActivityControllerProtocol;

// The user's authentication state for the whole process. Everything runs on the main loop.
class AuthControllerProtocol {
public:
    virtual ~AuthControllerProtocol() = default;

    virtual bool loggedIn() const = 0;
    // Also stores the value under the user default "loggedIn", which the panel observes.
    virtual void setLoggedIn(bool loggedIn) = 0;

    // The password grant; on success the tokens are stored, the batch emptied, tracking and the
    // upload timer started. Completes with "Successfully logged in" or the failure to show.
    virtual QCoro::Task<AuthResult> logIn(QString username, QString password,
                                          std::shared_ptr<UserActivityControllerProtocol> userActivityController) = 0;
    // Whether the service refused the stored login for good; the login form says so until the
    // next successful login.
    virtual bool sessionExpired() const = 0;
    virtual void setSessionExpired(bool expired) = 0;
    // Forgets both in-memory tokens and deletes the stored access token; the stored refresh
    // token stays. Does not change loggedIn.
    virtual QCoro::Task<void> logOut() = 0;
    // The access token, from memory or else from the credential store.
    virtual QCoro::Task<std::optional<QString>> getAccessToken() = 0;
    // Whether an access token is held; reads the given store when reload is true or none is held.
    virtual QCoro::Task<bool> hasAccessToken(std::shared_ptr<KeychainHelperProtocol> keychainHelper, bool reload) = 0;

    // Changes with every login answered by the service and every log-out. A token renewal that began under
    // one value stores nothing once it has changed: its tokens belong to a login that is over.
    virtual quint64 loginGeneration() const = 0;

    // The in-memory copies (UTF-8 bytes) and the store, for the refresh controller.
    virtual std::optional<QByteArray> authToken() const = 0;
    virtual void setAuthToken(std::optional<QByteArray> token) = 0;
    virtual std::optional<QByteArray> refreshToken() const = 0;
    virtual void setRefreshToken(std::optional<QByteArray> token) = 0;
    virtual std::shared_ptr<KeychainHelperProtocol> keychainHelper() const = 0;
};

} // namespace hourloom
