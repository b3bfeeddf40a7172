#include "SentryErrorLogger.h"

#include "SentryClient.h"

namespace hourloom {

SentryErrorLogger::SentryErrorLogger(SentryClient &client)
    : client_(client)
{
}

void SentryErrorLogger::capture(const ReportableError &error) const
{
    client_.capture(error);
}

} // namespace hourloom
