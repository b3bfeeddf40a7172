#pragma once

#include "ApiResponseMessage.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace hourloom {

// The activity endpoint's answer: lists of errors and messages, each possibly absent.
struct ApiActivityUploadResponseData {
    std::optional<QList<ApiResponseMessage>> errors;
    std::optional<QList<ApiResponseMessage>> messages;

    // Absent when the body is not a JSON object of that shape.
    static std::optional<ApiActivityUploadResponseData> fromJson(const QByteArray &body);
};

} // namespace hourloom
