#include "BrowserState.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace hourloom {

QByteArray BrowserState::toJson() const
{
    const QJsonObject object{
        {QStringLiteral("url"), url ? QJsonValue(*url) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("windowFocused"), windowFocused},
        {QStringLiteral("private"), privateTab},
        {QStringLiteral("updatedAt"), updatedAt},
        {QStringLiteral("pid"), writer.pid},
        {QStringLiteral("startTime"), QString::number(writer.startTime)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<BrowserState> BrowserState::fromJson(const QByteArray &json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    const QJsonValue url = object.value(QStringLiteral("url"));
    const QJsonValue focused = object.value(QStringLiteral("windowFocused"));
    const QJsonValue privateTab = object.value(QStringLiteral("private"));
    const QJsonValue updatedAt = object.value(QStringLiteral("updatedAt"));
    const QJsonValue pid = object.value(QStringLiteral("pid"));
    bool startTimeOk = false;
    const quint64 startTime = object.value(QStringLiteral("startTime")).toString().toULongLong(&startTimeOk);
    if (!(url.isString() || url.isNull()) || !focused.isBool() || !privateTab.isBool() || !updatedAt.isDouble() || !pid.isDouble() || !startTimeOk)
        return std::nullopt;
    BrowserState state;
    if (url.isString())
        state.url = url.toString();
    state.windowFocused = focused.toBool();
    state.privateTab = privateTab.toBool();
    if (state.privateTab)
        state.url.reset();
    state.updatedAt = updatedAt.toInteger();
    state.writer = {pid.toInteger(), startTime};
    return state;
}

} // namespace hourloom
