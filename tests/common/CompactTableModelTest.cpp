// The list rows as the screens show them, filled from a real database: every kind of cell, lists
// far beyond one storage block, refills, rows taken out and cells changed in place.
#include "TestDatabase.h"

#include "common/CompactTableModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace kelm;

namespace {

// A member list model watched by Qt's own model checker through every fill, removal and change.
struct CheckedModel
{
    std::unique_ptr<CompactTableModel> model = std::make_unique<CompactTableModel>(
        QStringList{"序号", "日期", "姓名", "会员卡号", "身份证号码", "联系地址", "联系电话", "卡内余额", "会员积分"},
        std::vector<std::string>{"日期", "姓名", "卡号", "身份证号", "联系地址", "联系电话", "余额", "积分"});
    QAbstractItemModelTester tester{model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest};

    CompactTableModel* operator->() { return model.get(); }
    void fill(TestDatabase& t, const char* sql = "SELECT * FROM kelm")
    {
        model->fill([&](const RowHandler& onRow) { t.db().query(sql, {}, onRow); });
    }
    QStringList row(int row) const
    {
        QStringList texts;
        for (int column = 0; column < model->columnCount(); ++column)
            texts << model->text(row, column);
        return texts;
    }
};

// count members whose addresses are about 200 bytes, so the rows run through several blocks.
void addLongRows(TestDatabase& t, int count, const QString& prefix = QStringLiteral("M"))
{
    t.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                          "INSERT INTO kelm (日期, 卡号, 姓名, 联系地址, 联系电话, 密码, 身份证号, 余额, 积分) "
                          "SELECT '2026-12-05', '%2' || i, '会员' || i, replace(printf('%.60c', 'x'), 'x', '路') || i, "
                          "'电话' || i, '462', 'ID' || i, i + 0.25, i FROM n")
               .arg(count)
               .arg(prefix));
}

QStringList expectedLongRow(int i, const QString& prefix = QStringLiteral("M"))
{
    return {QString::number(i), "2026-12-05", QStringLiteral("会员%1").arg(i), prefix + QString::number(i),
            QStringLiteral("ID%1").arg(i), QString(60, u'路') + QString::number(i), QStringLiteral("电话%1").arg(i),
            QString::number(i + 0.25, 'g', 15), QString::number(i)};
}

} // namespace

class CompactTableModelTest : public QObject
{
    Q_OBJECT

private slots:
    void everyKindOfCellShowsAsTheListShowsItAndAMissingColumnFails()
    {
        TestDatabase t;
        const QString longAddress = QString(400, u'址'); // beyond the short form of a cell
        t.exec(QStringLiteral("INSERT INTO kelm (日期, 卡号, 姓名, 联系地址, 联系电话, 身份证号, 余额, 积分) VALUES "
                              "('2026-12-05', '1', '王芳', '%1', '', NULL, 150.5, 12), "
                              "('2026-12-06', '2', 'O''Brien', '地址', '12.5', 'abc', 0, -3)")
                   .arg(longAddress));
        CheckedModel model;
        model.fill(t);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->columnCount(), 9);
        QCOMPARE(model.row(0), QStringList({"1", "2026-12-05", "王芳", "1", "", longAddress, "", "150.5", "12"}));
        QCOMPARE(model.row(1), QStringList({"2", "2026-12-06", "O'Brien", "2", "abc", "地址", "12.5", "0", "-3"}));
        QCOMPARE(model->number(1, 6), std::optional<double>(12.5)); // text that is a number
        QCOMPARE(model->number(1, 4), std::optional<double>());     // text that is none
        QCOMPARE(model->number(0, 4), std::optional<double>());     // NULL
        QCOMPARE(model->number(0, 7), std::optional<double>(150.5));
        QCOMPARE(model->number(1, 0), std::optional<double>(2));
        QCOMPARE(model->data(model->index(0, 2)).toString(), QStringLiteral("王芳"));
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("会员卡号"));

        CheckedModel other;
        QVERIFY_THROWS_EXCEPTION(DatabaseError, other.fill(t, "SELECT 卡号 FROM kelm"));
        QCOMPARE(other->rowCount(), 0);
    }

    // A long list runs through several blocks unchanged, a cell larger than a block is kept whole, and a
    // refill shows only the new rows.
    void aLongListOrALongCellRunsThroughSeveralBlocksUnchanged()
    {
        TestDatabase t;
        addLongRows(t, 40000); // about 10 MB of cells
        CheckedModel model;
        model.fill(t);
        QCOMPARE(model->rowCount(), 40000);
        for (int i : {1, 2, 13000, 20000, 32767, 32768, 39999, 40000})
            QCOMPARE(model.row(i - 1), expectedLongRow(i));

        t.exec(QStringLiteral("DELETE FROM kelm WHERE rowid > 5; "
                              "UPDATE kelm SET 联系地址 = printf('%.5000000c', 'x') WHERE 卡号 = 'M2'"));
        model.fill(t);
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(model->text(1, 5), QString(5000000, u'x'));
        QCOMPARE(model->text(1, 8), QStringLiteral("2"));
        QCOMPARE(model.row(0), expectedLongRow(1));
        QCOMPARE(model.row(4), expectedLongRow(5));
        addLongRows(t, 50000, QStringLiteral("N"));
        model.fill(t);
        QCOMPARE(model->rowCount(), 50005);
        QCOMPARE(model.row(4), expectedLongRow(5));
        QStringList last = expectedLongRow(50000, QStringLiteral("N"));
        last[0] = QStringLiteral("50005");
        QCOMPARE(model.row(50004), last);
        model->clear();
        QCOMPARE(model->rowCount(), 0);
    }

    // A query that fails part way keeps the rows read so far; rows taken out keep their running numbers,
    // changed cells leave the rest, and the rows taken out come back.
    void rowsTakenOutKeepTheirRunningNumbersAndChangedCellsLeaveTheRest()
    {
        TestDatabase t;
        addLongRows(t, 5);
        CheckedModel model;
        int rows = 0;
        QVERIFY_THROWS_EXCEPTION(DatabaseError, model->fill([&](const RowHandler& onRow) {
            t.db().query("SELECT * FROM kelm", {}, [&](const Row& row) {
                if (++rows > 3)
                    throw DatabaseError("读取中断");
                return onRow(row);
            });
        }));
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model.row(2), expectedLongRow(3));

        model.fill(t);
        model->takeRow(1);
        model->takeRow(model->rowOfRunningNumber(4));
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->text(1, 0), QStringLiteral("3"));
        QCOMPARE(model->rowOfRunningNumber(2), -1);
        QCOMPARE(model->rowOfRunningNumber(5), 2);
        QCOMPARE(model->rowOfRunningNumber(6), -1);

        QSignalSpy changed(model.model.get(), &QAbstractItemModel::dataChanged);
        model->setText(1, 5, QString(300, u'新')); // the member with running number 3, longer
        model->setText(1, 8, QStringLiteral("7"));
        model->setText(2, 2, QString());           // shorter
        QCOMPARE(changed.count(), 3);
        QStringList third = expectedLongRow(3);
        third[5] = QString(300, u'新');
        third[8] = QStringLiteral("7");
        QCOMPARE(model.row(1), third);
        QCOMPARE(model->number(1, 8), std::optional<double>(7));
        QStringList fifth = expectedLongRow(5);
        fifth[2] = QString();
        QCOMPARE(model.row(2), fifth);
        QCOMPARE(model.row(0), expectedLongRow(1));
        model->restoreRows();
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(model.row(1), expectedLongRow(2));
        QCOMPARE(model.row(3), expectedLongRow(4));
    }
};

QTEST_GUILESS_MAIN(CompactTableModelTest)
#include "CompactTableModelTest.moc"
