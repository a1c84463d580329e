// Numbers as the screens show and read them. The screens' own tests type amounts and points through
// the boxes (RechargeTest, PointsScreenTest, BadInputTest); the edges no box reaches are here.
#include "common/NumberText.h"

#include <QTest>

using namespace kelm;

class NumberTextTest : public QObject
{
    Q_OBJECT

private slots:
    void numbersAreShownInTheDefaultFormAndReadStrictly()
    {
        QCOMPARE(NumberText::format(100 + 50.5), QStringLiteral("150.5"));
        QCOMPARE(NumberText::format(-0.0), QStringLiteral("0"));
        QCOMPARE(NumberText::format(123456789012345.0), QStringLiteral("123456789012345"));
        QCOMPARE(NumberText::parse(QStringLiteral(" 50.5 ")), std::optional<double>(50.5));
        QCOMPARE(NumberText::parse(QStringLiteral("-10")), std::optional<double>(-10));
        for (const char* bad : {"", "nan", "５０"})
            QVERIFY2(!NumberText::parse(QString::fromUtf8(bad)), bad);
        // Sixteen-bit points round half to even, and must fit once rounded.
        QCOMPARE(NumberText::parseInt16(QStringLiteral("32767")), std::optional<std::int16_t>(32767));
        QCOMPARE(NumberText::parseInt16(QStringLiteral("-32768.4")), std::optional<std::int16_t>(-32768));
        QVERIFY(!NumberText::parseInt16(QStringLiteral("40000")));
    }
};

QTEST_GUILESS_MAIN(NumberTextTest)
#include "NumberTextTest.moc"
