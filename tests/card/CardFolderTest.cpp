#include "card/CardFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <set>

#include <sys/stat.h>

using kelm::CardFolder;
using kelm::MifareCard;

class CardFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void newCardsAreBlankUniqueListedAndPlaced()
    {
        QTemporaryDir dir;
        CardFolder folder(dir.filePath(QStringLiteral("cards")));
        std::set<std::uint32_t> made;
        for (int i = 0; i < 20; ++i)
            made.insert(folder.newCard().value());
        QCOMPARE(made.size(), 20U);
        const std::vector<std::uint32_t> listed = folder.cards();
        QVERIFY(std::is_sorted(listed.begin(), listed.end()));
        QCOMPARE(std::set<std::uint32_t>(listed.begin(), listed.end()), made);
        const std::uint32_t first = *made.begin();
        const std::uint32_t second = *made.rbegin();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("cards/%1.card").arg(CardFolder::serialText(first)))));
        QCOMPARE(folder.load(first)->keyA(5), MifareCard::FactoryKey);
        // A file copied under another name is not that card.
        QVERIFY(QFile::copy(folder.cardFile(first), folder.cardFile(first ^ 1)));
        QVERIFY(!folder.load(first ^ 1));

        QVERIFY(!folder.onReader());
        QString error;
        QVERIFY(!folder.place(first ^ 2, &error));
        QVERIFY(error.contains(CardFolder::serialText(first ^ 2)));
        QVERIFY(!folder.onReader());
        QVERIFY(folder.place(first));
        QVERIFY(folder.setHalted(true));
        const CardFolder::Placement halted = *folder.onReader();
        QCOMPARE(halted.serial, first);
        QVERIFY(halted.halted);
        // Another process sees the same record; laying the card on again wakes it and counts anew.
        QVERIFY(CardFolder(folder.path()).place(first));
        const CardFolder::Placement again = *folder.onReader();
        QVERIFY(!again.halted);
        QVERIFY(again.number != halted.number);
        QVERIFY(folder.place(second));
        QCOMPARE(folder.onReader()->serial, second);
        QVERIFY(folder.remove());
        QVERIFY(!folder.onReader());
        QVERIFY(!folder.setHalted(true));
    }

    // Whatever lies in the place of a card or of the record, the folder answers at once (ctest's timeout
    // fails a hang): a pipe would wait for a writer for ever, a device never ends.
    void onlyRegularFilesOfTheirSizeAreRead()
    {
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        CardFolder folder(dir.path());
        const std::uint32_t serial = *folder.newCard();
        const QString card = folder.cardFile(serial);
        const QString record = dir.filePath(QStringLiteral("reader.state"));
        QString error;
        QVERIFY(QFile::remove(card));
        QCOMPARE(::mkfifo(QFile::encodeName(card).constData(), 0600), 0);
        QVERIFY(!folder.load(serial, &error));
        QVERIFY2(error.contains(QStringLiteral("not a regular file")), qPrintable(error));
        QVERIFY(QFile::remove(card) && QFile::link(QStringLiteral("/dev/zero"), card));
        QVERIFY(!folder.load(serial));
        QVERIFY(QFile::remove(card));
        QFile big(card);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write(QByteArray(64 * 1024 + 1, '\n')) > 0);
        big.close();
        QVERIFY(!folder.load(serial, &error));
        QVERIFY2(error.contains(QStringLiteral("larger than")), qPrintable(error));

        // A pipe for the record: no card on the reader; placing one writes a sound record in its place.
        QCOMPARE(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
        QVERIFY(!folder.onReader());
        QVERIFY(folder.place(serial));
        QCOMPARE(folder.onReader()->serial, serial);
        // A link is replaced, never written through: what it pointed at outside the folder stays.
        const QString outside = elsewhere.filePath(QStringLiteral("reader.state"));
        QVERIFY(QFile::copy(record, outside) && QFile::remove(record) && QFile::link(outside, record));
        QVERIFY(folder.remove());
        QVERIFY(!folder.onReader() && !QFileInfo(record).isSymLink());
        QCOMPARE(CardFolder(elsewhere.path()).onReader()->serial, serial);
    }
};

QTEST_GUILESS_MAIN(CardFolderTest)
#include "CardFolderTest.moc"
