#pragma once

#include "core/ports/OutboxProtocol.h"

#include <QString>

struct sqlite3;

namespace hourloom {

class SqliteError;

// The outbox in one SQLite file (WAL mode, folder 0700, file 0600). A file that cannot be
// opened or turns out corrupt is renamed aside with the time in its name, with one line on
// standard output, and a fresh store takes its place. When not even that works (a read-only or
// full disk), the store stays closed: operations fail with one line and the agent runs on.
class SqliteOutbox final : public OutboxProtocol {
public:
    explicit SqliteOutbox(QString path);
    ~SqliteOutbox() override;
    SqliteOutbox(const SqliteOutbox &) = delete;
    SqliteOutbox &operator=(const SqliteOutbox &) = delete;

    // $XDG_STATE_HOME/hourloom/outbox.sqlite, by default under ~/.local/state.
    static QString defaultPath();

    bool isOpen() const { return db_ != nullptr; }
    const QString &path() const { return path_; }

    bool save(const OutboxKey &key, const QList<OutboxAppSession> &sessions) override;
    bool remove(const OutboxKey &key, const QHash<QUuid, QDateTime> &sentEnds) override;
    QList<OutboxAppSession> waiting(const OutboxKey &key) override;
    Trimmed trim(const OutboxKey &key, qsizetype maxCount, const QDateTime &oldestKept) override;

private:
    // Opens the file, moving a broken one aside once; false leaves the store closed.
    bool open();
    bool openFile(QString *reason, bool *broken);
    static bool isCorrupt(int code);
    void close();
    void moveAside(const QString &reason);
    // Reports a failed operation; a corrupt file is moved aside and replaced by a fresh one.
    void failed(const char *operation, const SqliteError &error);

    const QString path_;
    sqlite3 *db_ = nullptr;
    // One line per run of failures, not one per operation.
    bool reportingFailures_ = true;
};

} // namespace hourloom
