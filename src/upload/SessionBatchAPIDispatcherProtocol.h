#pragma once

#include "UploadResult.h"

#include <QByteArray>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <memory>

namespace hourloom {

class URLSessionProtocol;

// Sends one encoded batch to the activity endpoint.
class SessionBatchAPIDispatcherProtocol {
public:
    virtual ~SessionBatchAPIDispatcherProtocol() = default;

    virtual QUrl postSessionBatchURL() const = 0;
    // Never fails: every failure ends in a result without an answer.
    virtual QCoro::Task<UploadResult> sendSessionBatch(QByteArray data, std::shared_ptr<URLSessionProtocol> urlSession) = 0;
};

} // namespace hourloom
