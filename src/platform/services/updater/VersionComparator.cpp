#include "VersionComparator.h"

#include <QList>

namespace hourloom {
namespace {

enum class PartType { Number, Letters, Separator };

struct Part {
    PartType type;
    QString text;
};

PartType typeOf(QChar c)
{
    if (c.isDigit())
        return PartType::Number;
    if (c.isLetter())
        return PartType::Letters;
    return PartType::Separator;
}

// Runs of digits and of letters; every separator character is a part of its own.
QList<Part> split(const QString &version)
{
    const QString relevant = version.section(u'-', 0, 0);
    QList<Part> parts;
    for (const QChar c : relevant) {
        const PartType type = typeOf(c);
        if (!parts.isEmpty() && parts.last().type == type && type != PartType::Separator)
            parts.last().text.append(c);
        else
            parts.append({type, QString(c)});
    }
    return parts;
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// Digits of any length, compared by value without converting.
int compareNumbers(QString a, QString b)
{
    while (a.size() > 1 && a.startsWith(u'0'))
        a.remove(0, 1);
    while (b.size() > 1 && b.startsWith(u'0'))
        b.remove(0, 1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return sign(a.compare(b));
}

int compareParts(const Part &a, const Part &b)
{
    if (a.type == b.type)
        return a.type == PartType::Number ? compareNumbers(a.text, b.text) : sign(a.text.compare(b.text));
    // Different kinds: numbers win over everything, separators over letters.
    if (a.type == PartType::Number || b.type == PartType::Number)
        return a.type == PartType::Number ? 1 : -1;
    return a.type == PartType::Separator ? 1 : -1;
}

bool isZero(const Part &part)
{
    return part.type == PartType::Number && compareNumbers(part.text, QStringLiteral("0")) == 0;
}

} // namespace

int VersionComparator::compare(const QString &a, const QString &b)
{
    const QList<Part> partsA = split(a);
    const QList<Part> partsB = split(b);
    const qsizetype common = qMin(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (const int result = compareParts(partsA[i], partsB[i]); result != 0)
            return result;
    }

    const bool aIsLonger = partsA.size() > partsB.size();
    const QList<Part> &longer = aIsLonger ? partsA : partsB;
    qsizetype next = common;
    while (next < longer.size() && (longer[next].type == PartType::Separator || isZero(longer[next])))
        ++next;
    if (next == longer.size())
        return 0;
    // "1.0b1" is a pre-release of "1.0"; "1.0.1" comes after it.
    const bool longerIsNewer = longer[next].type != PartType::Letters;
    return (longerIsNewer == aIsLonger) ? 1 : -1;
}

} // namespace hourloom
