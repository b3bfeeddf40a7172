#pragma once

#include <QObject>
#include <QString>

namespace hourloom {

// What the user has to do before this desktop can be tracked, in one line; empty when nothing.
// The platform layer sets it, the panel shows it and follows every change.
class DesktopSetupHint final : public QObject {
    Q_OBJECT
public:
    static DesktopSetupHint &shared();

    const QString &text() const { return text_; }
    void setText(const QString &text);

Q_SIGNALS:
    void changed();

private:
    QString text_;
};

} // namespace hourloom
