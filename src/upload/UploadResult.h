#pragma once

#include "model/ApiActivityUploadResponseData.h"

#include <optional>

namespace hourloom {

// What became of one upload, beside the answer the service gave.
enum class UploadStatus {
    accepted, // a 2xx answer: the service has the batch
    failed,   // no request, no answer, 5xx, 429, or 401 after the retry: try again later
    tooLarge, // 413: the body is more than the service takes at once; smaller ones may go
    refused,  // any other 4xx: the service will never take this batch
};

struct UploadResult {
    std::optional<ApiActivityUploadResponseData> answer;
    UploadStatus status = UploadStatus::failed;
    int statusCode = 0; // the last HTTP status, 0 when none arrived
};

} // namespace hourloom
