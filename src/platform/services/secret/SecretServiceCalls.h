#pragma once

#include "SecretWorker.h"

#include <QByteArray>

#include <optional>
#include <string>

namespace hourloom {

// The three credential-store calls over libsecret, blocking; run them on the SecretWorker. Each
// tells its job before a keyring prompt shows, and shows none once the job was given up.
namespace SecretServiceCalls {

struct Item {
    std::string service;
    std::string account;
};

struct Outcome {
    enum class Status {
        done,
        // No session bus, no Secret Service on it, or the user dismissed its prompt: nothing
        // will be stored in it during this run, and later calls find the same at once.
        unavailable,
        failed,
    };
    Status status = Status::failed;
    // Why the store is unavailable, for the one line that says so.
    std::string reason;
    std::optional<QByteArray> data;
};

// Creates the item or replaces its data; further matching items (left by other tools) go.
Outcome store(const Item &item, const QByteArray &data, SecretWorker::Job &job);
Outcome lookup(const Item &item, SecretWorker::Job &job);
Outcome clear(const Item &item, SecretWorker::Job &job);

} // namespace SecretServiceCalls
} // namespace hourloom
