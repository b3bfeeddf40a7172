#include "model/DataFormatter.h"

#include "support/ScopedTimeZone.h"

#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace hourloom;

TEST(DataFormatter, WritesLocalWallClockWholeSecondsWhateverTheUserLocale)
{
    test::ScopedTimeZone zone("Asia/Kolkata");
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt)); // other digits, if the locale leaked in

    const QDateTime instant = QDateTime::fromSecsSinceEpoch(1714986900).toUTC(); // 2024-05-06 09:15:00 UTC
    EXPECT_EQ(DataFormatter::string(instant, DataFormatter::uploadFormat), "2024-05-06 14:45:00");
    // (Whole seconds, the milliseconds cut off: WireFormat's example batch.)
    QLocale::setDefault(previous);
}

TEST(DataFormatter, ReadsOnlyTextInThePattern)
{
    test::ScopedTimeZone zone("Europe/Berlin");
    const auto read = DataFormatter::date(QStringLiteral("2024-05-06 09:15:00"), DataFormatter::uploadFormat);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, QDateTime(QDate(2024, 5, 6), QTime(9, 15), QTimeZone(7200))); // summer time in Berlin

    for (const char *text : {"2024-05-06T09:15:00", "", "2024-05-06 09:15", "06.05.2024 09:15:00", "2024-13-01 00:00:00"})
        EXPECT_FALSE(DataFormatter::date(QString::fromLatin1(text), DataFormatter::uploadFormat).has_value()) << text;
}
