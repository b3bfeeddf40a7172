#pragma once

#include <QByteArray>

#include <optional>
#include <string>

typedef struct _GCancellable GCancellable;

namespace hourloom {

// The three credential-store calls over libsecret, blocking; run them on the SecretWorker.
namespace SecretServiceCalls {

struct Item {
    std::string service;
    std::string account;
};

struct Outcome {
    enum class Status {
        done,
        // No session bus, no Secret Service on it, or the user dismissed its prompt: nothing
        // will be stored in it during this run.
        unavailable,
        failed,
    };
    Status status = Status::failed;
    // Why the store is unavailable, for the one line that says so.
    std::string reason;
    std::optional<QByteArray> data;
};

// Creates the item or replaces its data; further matching items (left by other tools) go.
Outcome store(const Item &item, const QByteArray &data, GCancellable *cancellable);
Outcome lookup(const Item &item, GCancellable *cancellable);
Outcome clear(const Item &item, GCancellable *cancellable);

} // namespace SecretServiceCalls
} // namespace hourloom
