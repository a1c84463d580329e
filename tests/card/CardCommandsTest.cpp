#include "CardCommands.h"

#include "card/CardFolder.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using kelm::CardFolder;
using kelm::MifareCard;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run card(const QString& folder, const QString& words)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = kelm::runCardCommand(words.split(QLatin1Char(' '), Qt::SkipEmptyParts), folder, out, err);
    out.flush();
    err.flush();
    return run;
}

} // namespace

class CardCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void cardsAreMadePlacedListedAndShown()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("cards"));
        QCOMPARE(card(folder, QStringLiteral("list")).out, QStringLiteral("No cards in %1.\n").arg(folder));

        const Run first = card(folder, QStringLiteral("new"));
        QCOMPARE(first.status, 0);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^[0-9A-F]{8}\n$")).match(first.out).hasMatch(), qPrintable(first.out));
        const QString a = first.out.trimmed();
        const QString b = card(folder, QStringLiteral("new")).out.trimmed();

        const Run placed = card(folder, QStringLiteral("place ") + a.toLower());
        QCOMPARE(placed.status, 0);
        QVERIFY(placed.out.contains(a));
        const QString listed = card(folder, QStringLiteral("list")).out;
        QVERIFY2(listed.contains(QStringLiteral("* %1  on the reader\n").arg(a)), qPrintable(listed));
        QVERIFY(listed.contains(QStringLiteral("  %1\n").arg(b)));
        QCOMPARE(listed.count(QLatin1Char('\n')), 2);

        QCOMPARE(card(folder, QStringLiteral("remove")).status, 0);
        QVERIFY(!card(folder, QStringLiteral("list")).out.contains(QLatin1Char('*')));
        QCOMPARE(card(folder, QStringLiteral("remove")).status, 0);

        // show tells the keys, the access bits and the card text.
        QCOMPARE(card(folder, QStringLiteral("place ") + a).status, 0);
        Run shown = card(folder, QStringLiteral("show ") + a);
        QCOMPARE(shown.status, 0);
        QVERIFY(shown.out.startsWith(QStringLiteral("Card %1 (on the reader)\n").arg(a)));
        QVERIFY(shown.out.contains(QStringLiteral("Card text (block 20): (blank)\n")));
        QVERIFY(shown.out.contains(QStringLiteral("\nSector 15\n")));
        QVERIFY2(shown.out.contains(QStringLiteral("key A 3C9A51E07B2D  access FF 07 80 69 (blocks 0 0 0, trailer 1)  "
                                                   "key B 3C9A51E07B2D")),
            qPrintable(shown.out));
        QCOMPARE(shown.out.count(QStringLiteral("key A FFFFFFFFFFFF")), 15);
        QVERIFY(shown.out.contains(QStringLiteral("  block 23  3C 9A 51 E0 7B 2D FF 07 80 69 3C 9A 51 E0 7B 2D\n")));

        CardFolder cards(folder);
        MifareCard written = *cards.load(*CardFolder::parseSerial(a));
        const MifareCard::Block text { 'M', '0', '0', '4', '2' };
        QCOMPARE(written.write({ 5, MifareCard::KeyType::A }, 20, text), MifareCard::Outcome::Ok);
        QVERIFY(cards.save(written));
        QVERIFY(cards.setHalted(true));
        shown = card(folder, QStringLiteral("show ") + a);
        QVERIFY(shown.out.startsWith(QStringLiteral("Card %1 (on the reader, halted)\n").arg(a)));
        QVERIFY(shown.out.contains(QStringLiteral("Card text (block 20): \"M0042\"\n")));
        QVERIFY(shown.out.contains(QStringLiteral("  block 20  4D 30 30 34 32 00")));
    }

    void mistakesAreExplained_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QString() << QStringLiteral("usage:");
        QTest::newRow("unknown word") << QStringLiteral("burn") << QStringLiteral("unknown card command: burn");
        QTest::newRow("extra word") << QStringLiteral("list all") << QStringLiteral("unknown card command: list all");
        QTest::newRow("place without serial") << QStringLiteral("place") << QStringLiteral("takes one serial");
        QTest::newRow("not hex") << QStringLiteral("show 12XY") << QStringLiteral("\"12XY\" is not a card serial");
        QTest::newRow("unknown card") << QStringLiteral("place 0BADCAFE") << QStringLiteral("no card 0BADCAFE in");
        QTest::newRow("show unknown") << QStringLiteral("show badcafe") << QStringLiteral("no card 0BADCAFE in");
    }

    void mistakesAreExplained()
    {
        QFETCH(QString, words);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const Run run = card(dir.path(), words);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!CardFolder(dir.path()).onReader());
    }
};

QTEST_GUILESS_MAIN(CardCommandsTest)
#include "CardCommandsTest.moc"
