// Numbers as the screens show and read them.
#include "common/NumberText.h"

#include <QTest>

using namespace kelm;

class NumberTextTest : public QObject
{
    Q_OBJECT

private slots:
    void formatsInTheDefaultNumberForm()
    {
        QCOMPARE(NumberText::format(100), QStringLiteral("100"));
        QCOMPARE(NumberText::format(100 + 50.5), QStringLiteral("150.5"));
        QCOMPARE(NumberText::format(-0.0), QStringLiteral("0"));
        QCOMPARE(NumberText::format(97.5), QStringLiteral("97.5"));
        QCOMPARE(NumberText::format(123456789012345.0), QStringLiteral("123456789012345"));
        double sum = 0;
        for (int i = 0; i < 10; ++i)
            sum += 0.1;
        QVERIFY(sum != 1.0);
        QCOMPARE(NumberText::format(sum), QStringLiteral("1"));
    }

    void parsesNumbersAndRefusesTheRest()
    {
        QCOMPARE(NumberText::parse(QStringLiteral(" 50.5 ")), std::optional<double>(50.5));
        QCOMPARE(NumberText::parse(QStringLiteral("-10")), std::optional<double>(-10));
        for (const char* bad : {"", "  ", "abc", "1,000", "nan", "inf", "0x10", "５０"})
            QVERIFY2(!NumberText::parse(QString::fromUtf8(bad)), bad);
    }

    void sixteenBitPointsRoundHalfToEven()
    {
        QCOMPARE(NumberText::parseInt16(QStringLiteral("97.5")), std::optional<std::int16_t>(98));
        QCOMPARE(NumberText::parseInt16(QStringLiteral("96.5")), std::optional<std::int16_t>(96));
        QCOMPARE(NumberText::parseInt16(QStringLiteral("32767")), std::optional<std::int16_t>(32767));
        QCOMPARE(NumberText::parseInt16(QStringLiteral("-32768.4")), std::optional<std::int16_t>(-32768));
        QVERIFY(!NumberText::parseInt16(QStringLiteral("32767.5")));
        QVERIFY(!NumberText::parseInt16(QStringLiteral("40000")));
    }
};

QTEST_GUILESS_MAIN(NumberTextTest)
#include "NumberTextTest.moc"
