#pragma once

#include <QString>

#include <optional>

namespace hourloom {

// The name the user sees for this machine: the pretty host name when one is set
// (PRETTY_HOSTNAME in /etc/machine-info, as hostnamectl writes it), else the host name.
class DeviceName {
public:
    static std::optional<QString> current();

    // The same choice from a machine-info file's text and a host name.
    static std::optional<QString> choose(const QByteArray &machineInfo, const QString &hostName);
};

} // namespace hourloom
