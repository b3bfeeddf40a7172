#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QStringView>

#include <initializer_list>
#include <optional>
#include <utility>

namespace hourloom {

// Writes compact UTF-8 JSON straight into a buffer. The upload body is written on the main loop
// for every upload; this is several times faster than building a QJsonObject tree and
// serialising it.
class JsonWriter {
public:
    // Writers of one body share the moment of encoding.
    explicit JsonWriter(std::optional<QDateTime> now = std::nullopt)
        : now_(std::move(now))
    {
    }

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The member name of the value that follows.
    void key(QLatin1StringView name);

    void value(QStringView text);
    void value(qint64 number);
    // The text, or null when absent.
    void nullableValue(const std::optional<QString> &text);
    void null();
    // Already encoded JSON, written as one value.
    void rawValue(const QByteArray &json);

    // The moment of encoding, taken once per writer: open spans end at it and the zone offset is
    // the one in force at it, so a whole body agrees with itself.
    const QDateTime &now();

    QByteArray take() { return std::exchange(out_, {}); }
    const QByteArray &bytes() const { return out_; }
    // Starts over, keeping the buffer (and the moment of encoding) for the next value.
    void clear()
    {
        out_.truncate(0);
        needsComma_ = false;
    }

    // Whether value(text) can write the text faithfully: an unpaired surrogate has no UTF-8 form
    // and would be replaced.
    static bool isEncodable(QStringView text) { return text.isValidUtf16(); }

    // An object of text members in the given order, an absent text as null; none when a text
    // cannot be encoded faithfully.
    using TextMember = std::pair<QLatin1StringView, std::optional<QString>>;
    static std::optional<QByteArray> textObject(std::initializer_list<TextMember> members);

private:
    void separate();
    void appendString(QStringView text);

    QByteArray out_;
    bool needsComma_ = false;
    std::optional<QDateTime> now_;
};

} // namespace hourloom
