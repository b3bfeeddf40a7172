#include "RequestFields.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace hourloom::devserver {

std::optional<RequestFields> RequestFields::parse(const std::string &contentType, const std::string &body)
{
    RequestFields fields;
    const QByteArray bytes = QByteArray::fromStdString(body);
    if (QString::fromStdString(contentType).startsWith(u"application/json", Qt::CaseInsensitive)) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return std::nullopt;
        const QJsonObject object = document.object();
        for (auto member = object.begin(); member != object.end(); ++member) {
            if (member->isString())
                fields.values_.insert(member.key(), member->toString());
        }
        return fields;
    }
    // Anything else is read as a form, the OAuth default.
    if (!QUtf8StringView(bytes).isValidUtf8())
        return std::nullopt;
    QUrlQuery query;
    // '+' is a space in forms but not in QUrlQuery's eyes.
    query.setQuery(QString::fromUtf8(bytes).replace(u'+', u' '));
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded))
        fields.values_.insert(name, value);
    return fields;
}

std::optional<QString> RequestFields::value(const QString &name) const
{
    const auto found = values_.constFind(name);
    if (found == values_.constEnd())
        return std::nullopt;
    return *found;
}

} // namespace hourloom::devserver
