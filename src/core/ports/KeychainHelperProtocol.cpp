#include "KeychainHelperProtocol.h"

#include "core/Configuration.h"

namespace hourloom {

QString KeychainHelperProtocol::account()
{
    static const QString value = QStringLiteral("hourloom-") + Configuration::environment();
    return value;
}

} // namespace hourloom
