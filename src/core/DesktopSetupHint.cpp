#include "DesktopSetupHint.h"

namespace hourloom {

DesktopSetupHint &DesktopSetupHint::shared()
{
    static DesktopSetupHint hint;
    return hint;
}

void DesktopSetupHint::setText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    Q_EMIT changed();
}

} // namespace hourloom
