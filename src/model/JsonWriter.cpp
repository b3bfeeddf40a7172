#include "JsonWriter.h"

#include "core/Clock.h"

namespace hourloom {

void JsonWriter::separate()
{
    if (needsComma_)
        out_.append(',');
    needsComma_ = true;
}

void JsonWriter::beginObject()
{
    separate();
    out_.append('{');
    needsComma_ = false;
}

void JsonWriter::endObject()
{
    out_.append('}');
    needsComma_ = true;
}

void JsonWriter::beginArray()
{
    separate();
    out_.append('[');
    needsComma_ = false;
}

void JsonWriter::endArray()
{
    out_.append(']');
    needsComma_ = true;
}

void JsonWriter::key(QLatin1StringView name)
{
    separate();
    out_.append('"').append(name.data(), name.size()).append("\":");
    needsComma_ = false;
}

void JsonWriter::value(QStringView text)
{
    separate();
    appendString(text);
}

void JsonWriter::value(qint64 number)
{
    separate();
    out_.append(QByteArray::number(number));
}

std::optional<QByteArray> JsonWriter::textObject(std::initializer_list<TextMember> members)
{
    JsonWriter writer;
    writer.beginObject();
    for (const auto &[name, text] : members) {
        if (text && !isEncodable(*text))
            return std::nullopt;
        writer.key(name);
        writer.nullableValue(text);
    }
    writer.endObject();
    return writer.take();
}

void JsonWriter::nullableValue(const std::optional<QString> &text)
{
    if (text)
        value(QStringView(*text));
    else
        null();
}

void JsonWriter::null()
{
    separate();
    out_.append("null");
}

void JsonWriter::rawValue(const QByteArray &json)
{
    separate();
    out_.append(json);
}

const QDateTime &JsonWriter::now()
{
    if (!now_)
        now_ = Clock::now().toLocalTime();
    return *now_;
}

void JsonWriter::appendString(QStringView text)
{
    static constexpr char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out_.append('"');
    // Runs that need no escape (nearly every text) go in whole.
    qsizetype run = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        out_.append(utf8.constData() + run, i - run);
        run = i + 1;
        switch (byte) {
        case '"': out_.append("\\\""); break;
        case '\\': out_.append("\\\\"); break;
        case '\n': out_.append("\\n"); break;
        case '\r': out_.append("\\r"); break;
        case '\t': out_.append("\\t"); break;
        case '\b': out_.append("\\b"); break;
        case '\f': out_.append("\\f"); break;
        default: {
            const char escape[] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]};
            out_.append(escape, sizeof escape);
        }
        }
    }
    out_.append(utf8.constData() + run, utf8.size() - run);
    out_.append('"');
}

} // namespace hourloom
