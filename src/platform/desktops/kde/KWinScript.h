#pragma once

#include <QDBusConnection>
#include <QString>
#include <QTemporaryFile>

#include <qcoro/qcorotask.h>

#include <memory>

namespace hourloom {

// A script of ours running inside KWin, loaded over D-Bus under a name no other client uses.
// KWin reads the script from a private file that lives as long as this object. KWin forgets its
// scripts when it ends: load the script again into the KWin that replaces it with reload().
class KWinScript {
public:
    // Loads the script and runs it; none when KWin cannot be asked or refuses it, and *error says why.
    static std::unique_ptr<KWinScript> load(const QDBusConnection &bus, const QString &name, const QByteArray &source, QString *error);
    // Unloads the script from KWin.
    ~KWinScript();
    KWinScript(const KWinScript &) = delete;
    KWinScript &operator=(const KWinScript &) = delete;

    const QString &name() const { return name_; }

    // Loads the script into the KWin now on the bus without waiting for it; what went wrong, else empty.
    // The bus, name and file are taken as values: the task may outlive this object.
    QCoro::Task<QString> reload() const { return loadAndRun(bus_, name_, file_->fileName()); }

    // Loads the script in the file under the name and runs it, in whichever KWin is on the bus;
    // what went wrong, else empty.
    static QCoro::Task<QString> loadAndRun(QDBusConnection bus, QString name, QString path);

private:
    KWinScript(const QDBusConnection &bus, const QString &name, std::unique_ptr<QTemporaryFile> file);

    QDBusConnection bus_;
    QString name_;
    std::unique_ptr<QTemporaryFile> file_;
};

} // namespace hourloom
