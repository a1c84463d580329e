#include "card/CardFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <set>

using kelm::CardFolder;
using kelm::MifareCard;

class CardFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void newCardsAreBlankUniqueAndListed()
    {
        QTemporaryDir dir;
        CardFolder folder(dir.filePath(QStringLiteral("cards")));
        std::set<std::uint32_t> made;
        for (int i = 0; i < 20; ++i) {
            made.insert(folder.newCard().value());
        }
        QCOMPARE(made.size(), 20U);
        const std::vector<std::uint32_t> listed = folder.cards();
        QVERIFY(std::is_sorted(listed.begin(), listed.end()));
        QCOMPARE(std::set<std::uint32_t>(listed.begin(), listed.end()), made);

        const std::uint32_t serial = *made.begin();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("cards/%1.card").arg(CardFolder::serialText(serial)))));
        QCOMPARE(folder.load(serial)->keyA(5), MifareCard::FactoryKey);
        // A file copied under another name is not that card.
        QVERIFY(QFile::copy(folder.cardFile(serial), folder.cardFile(serial ^ 1)));
        QVERIFY(!folder.load(serial ^ 1));
    }

    void placingFollowsTheCard()
    {
        QTemporaryDir dir;
        CardFolder folder(dir.path());
        const std::uint32_t first = *folder.newCard();
        const std::uint32_t second = *folder.newCard();
        QVERIFY(!folder.onReader());
        QString error;
        QVERIFY(!folder.place(first ^ second ^ 1, &error));
        QVERIFY(error.contains(CardFolder::serialText(first ^ second ^ 1)));
        QVERIFY(!folder.onReader());

        QVERIFY(folder.place(first));
        QVERIFY(folder.setHalted(true));
        const CardFolder::Placement halted = *folder.onReader();
        QCOMPARE(halted.serial, first);
        QVERIFY(halted.halted);

        // Another process sees the same record; laying the card on again wakes it and counts anew.
        QVERIFY(CardFolder(dir.path()).place(first));
        const CardFolder::Placement again = *folder.onReader();
        QVERIFY(!again.halted);
        QVERIFY(again.number != halted.number);

        QVERIFY(folder.place(second));
        QCOMPARE(folder.onReader()->serial, second);
        QVERIFY(folder.remove());
        QVERIFY(!folder.onReader());
        QVERIFY(!folder.setHalted(true));
    }
};

QTEST_GUILESS_MAIN(CardFolderTest)
#include "CardFolderTest.moc"
