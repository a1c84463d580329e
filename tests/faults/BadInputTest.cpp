// Hostile input from the three places a till takes it from: text pasted into any box, values
// another program left in the database, and a broken config.ini. Whatever comes, no screen crashes
// or lets an exception out of a handler, no text changes a statement (a stored text is stored as
// typed and no other row moves), nothing is written by halves, and the cashier is told in the
// screens' own words.
#include "Till.h"

#include "card/CardSequences.h"
#include "common/TextCodec.h"
#include "common/WidgetMessageBoxService.h"

#include <kelm/Class1.h>
#include <kelm/kelm.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <utility>

#include <sys/stat.h>

using namespace kelm;

namespace {

const QString A = QStringLiteral("1000000000001"); // the member every case works on
const QString B = QStringLiteral("2000000000002"); // a bystander whose row never moves
const QString NewCard = QStringLiteral("3000000000003");

using Tables = TestDatabase::Contents;
QStringList changes(const Tables& before, const Tables& after);

// One till: two members, two gifts, and what the cashier was told and the tables changed.
struct Desk : Till
{
    Tables before;

    Desk()
    {
        database.addMember(A, "张三", "100", "50");
        database.addMember(B, "李四", "80", "30", "7777");
        database.addGift("雨伞", "5", "10");
        database.addGift("毛巾", "9", "20");
        before = snapshot();
    }
    // The screen the host opens, with A's card laid on the reader.
    void openWithCard(const char* entry)
    {
        Till::open(entry);
        QVERIFY(layCard(A));
    }

    Tables snapshot() { return database.contents(); }
    // The messages shown and the rows that moved since the last look.
    void expect(const QStringList& shown, const QStringList& moved)
    {
        const Tables was = std::exchange(before, snapshot());
        const QStringList texts = said();
        // A message quoting a pasted page shows its start and its end.
        QStringList fitted;
        for (const QString& text : shown)
            fitted << kelm::MessageBoxService::fitted(text);
        QCOMPARE(texts, fitted);
        for (const QString& text : texts) {
            for (const QString& line : text.split(u'\n'))
                QVERIFY(line.size() <= kelm::MessageBoxService::LineWidth);
        }
        QCOMPARE(changes(was, before), moved);
    }
    // Rows matching a condition with bound values, compared by the database itself (so a number
    // typed as text matches what a numeric column made of it).
    int count(const QString& table, const QString& where, const QList<QString>& values)
    {
        int n = -1;
        const std::vector<SqlParam> params(values.begin(), values.end());
        const QByteArray sql = QString("SELECT count(*) FROM %1 WHERE %2").arg(table, where).toUtf8();
        database.db().query(sql.toStdString(), params, [&](const Row& row) {
            n = static_cast<int>(row.cell(0).toNumber());
            return false;
        });
        return n;
    }
};

// What moved between two snapshots, table by table: "kelm -1 +1" is one row replaced.
QStringList changes(const Tables& before, const Tables& after)
{
    QStringList result;
    for (auto it = before.begin(); it != before.end(); ++it) {
        QStringList gone = it.value();
        QStringList added = after.value(it.key());
        for (const QString& row : it.value()) {
            if (added.removeOne(row))
                gone.removeOne(row);
        }
        QString change = it.key();
        if (!gone.isEmpty())
            change += QStringLiteral(" -%1").arg(gone.size());
        if (!added.isEmpty())
            change += QStringLiteral(" +%1").arg(added.size());
        if (change != it.key())
            result << change;
    }
    return result;
}

// clang-format off
// Texts a box may be given, and which of them are numbers (with their value).
const QList<std::pair<const char*, QString>> HostileTexts = {
    { "quote", "O'Brien" }, { "double quotes", "\"VIP\"" }, { "semicolon", "a;b" },
    { "drop table", "'); DROP TABLE hy; --" }, { "delete all", "x'); DELETE FROM kelm; --" }, { "1 or 1=1", "1 OR 1=1" },
    { "quoted or", "' OR '1'='1" }, { "10000 characters", QString("x长").repeated(5000) }, { "tab", "a\tb" },
    { "cr lf", "a\r\nb" }, { "control character", "\x01" }, { "nul", QString(u'a') + QChar(u'\0') + u'b' },
    { "letters", "abc" }, { "1e400", "1e400" }, { "minus zero", "-0" }, { "NaN", "NaN" }, { "hex", "0x10" },
    { "32768", "32768" }, { "-32769", "-32769" }, { "2147483648", "2147483648" }, { "19 nines", "9999999999999999999" },
};
const QMap<QString, double> Numbers = {
    { "-0", 0 }, { "32768", 32768 }, { "-32769", -32769 }, { "2147483648", 2147483648.0 }, { "9999999999999999999", 1e19 },
};

// Every box a cashier can type into, the column it fills and the most characters it holds (the
// column's width on a server; QLineEdit's own limit where the text is a number).
struct TypedBox
{
    const char* box;
    const char* column;
    int width;
};
const TypedBox Boxes[] = {
    { "Form1.Text1", "姓名", 255 }, { "Form1.Text2", "联系地址", 255 }, { "Form1.Text3", "联系电话", 50 },
    { "Form1.Text4", "密码", 50 }, { "Form1.Text5", "卡号", 50 }, { "Form1.Text6", "身份证号", 50 },
    { "Form2.Text7", "金额", 32767 }, { "Form3.Text1", "密码", 50 }, { "Form4.Text4", "积分", 32767 },
    { "Form5.Text1", "名称", 255 }, { "Form5.Text2", "数量", 32767 }, { "Form5.Text3", "积分", 32767 },
};
// clang-format on

} // namespace

class BadInputTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Till::settle(); }

    void hostileTextInEveryBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("text");
        for (const TypedBox& b : Boxes) {
            for (const auto& [name, text] : HostileTexts)
                QTest::addRow("%s %s", b.box, name) << QString(b.box) << QString(b.column) << b.width << text;
        }
    }

    void hostileTextInEveryBox()
    {
        QFETCH(QString, box);
        QFETCH(QString, column);
        QFETCH(int, width);
        QFETCH(QString, text);
        const bool isNumber = Numbers.contains(text);
        const double value = Numbers.value(text);
        const QByteArray form = box.section(u'.', 0, 0).toLatin1();
        const QByteArray name = box.section(u'.', 1).toLatin1();
        Desk till;
        // Pasted, as a cashier (or a barcode scanner) puts control characters into a box. What the
        // box then holds is what was typed.
        QString typed;
        const auto paste = [&](const char* f, const char* b, const QString& t) {
            QLineEdit* edit = Till::box(f, b);
            QVERIFY(edit && edit->isEnabled() && !edit->isReadOnly());
            edit->setText(t);
            typed = edit->text();
            QCOMPARE(typed, t.left(name == b ? width : 32767));
        };

        if (form == "Form1") {
            Class1().kelm(true);
            Till::press("Form1", "增加");
            paste("Form1", "Text5", NewCard);
            paste("Form1", name, text);
            const QString card = name == "Text5" ? typed : NewCard;
            Till::press("Form1", "保存");
            till.expect({ "会员添加成功" }, { "kelm +1" });
            QCOMPARE(till.count("kelm", "卡号=? AND " + column + "=?", { card, typed }), 1);
            Till::clickRow("Form1", 3, A);
            if (name == "Text5") {
                // The lookup and the delete find exactly the member with that number.
                paste("Form1", "Text5", text);
                Till::press("Form1", "删除");
                Till::press("Form1", "保存");
                till.expect({ "你真的确定删除选定的会员吗？", "删除成功" }, { "kelm -1" });
                QCOMPARE(till.count("kelm", "卡号=?", { typed }), 0);
                // And it goes onto a blank card of the installation, cut to the card's 16 bytes.
                QVERIFY(till.cards.place(*till.cards.newCard()));
                Till::press("Form1", "初始化");
                paste("Form1", "Text5", text);
                Till::press("Form1", "发卡");
                till.expect({ "初始化成功！", "发卡成功！" }, {});
                const MifareCard::Block block = till.cards.load(till.cards.onReader()->serial)->rawBlock(20);
                QCOMPARE(QByteArray(reinterpret_cast<const char*>(block.data()), 16), Card::cardText(typed));
            } else {
                Till::press("Form1", "修改");
                paste("Form1", name, text);
                Till::press("Form1", "保存");
                till.expect({ "修改成功" }, { "kelm -1 +1" });
                QCOMPARE(till.count("kelm", "卡号=? AND " + column + "=?", { A, typed }), 1);
            }
        } else if (form == "Form2") {
            till.openWithCard("kelm");
            Till::press("Form1", "充值");
            paste("Form2", "Text7", text);
            Till::click("Form2", "Command1");
            if (isNumber && std::abs(value) >= 1e15) {
                // No till tops up a quadrillion: it is a slip of the keyboard, and no server's
                // balance column holds it.
                till.expect({ "请输入正确的充值金额！" }, {});
            } else if (isNumber) {
                // Nought leaves the balance as it was; the top-up is recorded all the same.
                till.expect(
                    { "充值成功！" }, value == 0 ? QStringList { "qzjl +1" } : QStringList { "kelm -1 +1", "qzjl +1" });
                QCOMPARE(
                    till.database.scalar("SELECT 余额 FROM kelm WHERE 卡号='" + A + "'").toDouble(), 100 + value);
                QCOMPARE(till.count("qzjl", "卡号=? AND 金额=?", { A, text }), 1);
            } else {
                till.expect({ "请输入正确的充值金额！" }, {});
            }
        } else if (form == "Form3") {
            till.database.exec("UPDATE kelm SET 密码='6688' WHERE 卡号='" + A + "'");
            till.before = till.snapshot();
            till.openWithCard("kelm");
            Till::press("Form1", "充值");
            paste("Form3", "Text1", text);
            Till::click("Form3", "Command1");
            till.expect({ "密码错误，请重新输入！" }, {});
            // The same text as the stored password is compared exactly and lets the cashier on.
            const SqlParam params[] = { typed, A };
            till.database.db().execute("UPDATE kelm SET 密码=? WHERE 卡号=?", params);
            till.before = till.snapshot();
            Till::click("Form3", "Command1");
            till.expect({}, {});
            QVERIFY(Till::window("Form2") && !Till::window("Form3"));
        } else if (form == "Form4") {
            till.openWithCard("jfgl");
            Till::press("Form4", "读卡");
            Till::press("Form4", "积分修改");
            paste("Form4", "Text4", text);
            Till::press("Form4", "保存");
            // The points are stored as typed; they are checked when they are redeemed.
            till.expect({ "在积分栏直接修改积分，然后点击保存！", "积分修改成功" }, { "kelm -1 +1" });
            QCOMPARE(till.count("kelm", "卡号=? AND 积分=?", { A, text }), 1);
            Till::clickRow("Form4", 1, "雨伞");
            Till::press("Form4", "积分兑换");
            till.expect(
                { !isNumber          ? QString("这位会员的积分“%1”不是数字，不能兑换！").arg(text)
                        : value == 0 ? QString("积分不够或者礼品的数量为零")
                                     : QString("积分 %1 超出了可兑换的范围（-32768 到 32767），不能兑换！").arg(text) },
                {});
        } else {
            Class1().jfgl(true);
            Till::press("Form4", "礼品管理");
            Till::press("Form5", "增加");
            paste("Form5", "Text1", "新礼品");
            paste("Form5", "Text2", "3");
            paste("Form5", "Text3", "7");
            paste("Form5", name, text);
            Till::press("Form5", "保存");
            if (name == "Text1" || isNumber) {
                till.expect({ "添加成功" }, { "lpgl +1" });
                QCOMPARE(till.count("lpgl", column + "=?", { typed }), 1);
            } else {
                till.expect({ column + "“" + text + "”不是数字，请重新输入" }, {});
            }
        }
    }

    // Values another program left in the tables, met by a tour of the screens: the member screen's
    // delete and recharge, the points screen's read and redemption, the catalogue's click and edit.
    void hostileDatabaseValues_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("gift");
        QTest::addColumn<QStringList>("expected"); // messages, and [FormN] for a dialog that opened
        QTest::addColumn<QStringList>("changed");
        const auto row
            = [](const char* name, const QString& sql, const QString& gift, const QStringList& expected,
                  const QStringList& changed = {}) { QTest::newRow(name) << sql << gift << expected << changed; };
        const QString huge = QString("长").repeated(10000);
        const QString ask = "你真的确定删除选定的会员吗？";
        const QString kept = "该卡不能删除，只能挂失!";
        const QString onA = "' WHERE 卡号='" + A + "'";
        row("member values null",
            "UPDATE kelm SET "
            "日期=NULL,姓名=NULL,联系地址=NULL,联系电话=NULL,密码=NULL,身份证号=NULL,余额=NULL,积分=NULL"
            " WHERE 卡号='"
                + A + "'",
            "雨伞", { ask, "[Form3]", "[Form3]", "修改成功" });
        row("texts in numeric columns",
            "UPDATE kelm SET 积分='十',余额='abc" + onA + "; UPDATE lpgl SET 数量='五',积分='十'", "雨伞",
            { ask, "此会员卡的余额不是有效的数字，无法充值！", "[Form2]", "这位会员的积分“十”不是数字，不能兑换！",
                "数量“五”不是数字，请重新输入" });
        row("beyond 16 bits", "UPDATE kelm SET 积分='32768" + onA + "; UPDATE lpgl SET 积分=40000,数量=70000", "雨伞",
            { ask, kept, "[Form2]", "积分 32768 超出了可兑换的范围（-32768 到 32767），不能兑换！", "修改成功" });
        row("beyond 32 bits",
            "UPDATE kelm SET 余额=9999999999999999999,积分='2147483648" + onA
                + "; UPDATE lpgl SET 数量=9999999999,id=5000000000 WHERE 名称='雨伞'",
            "雨伞",
            { ask, kept, "[Form2]", "积分 2147483648 超出了可兑换的范围（-32768 到 32767），不能兑换！", "修改成功" });
        row("gift values null", "UPDATE lpgl SET 名称=NULL,数量=NULL,积分=NULL WHERE 名称='雨伞'", "",
            { ask, kept, "[Form2]", "礼品“”的积分“”不是数字，不能兑换！",
                "礼品“”已不在礼品表中（可能已被改名或删除），请点击“保存”刷新列表。" });
        row("huge texts",
            "UPDATE kelm SET 姓名='" + huge + "',联系地址='" + huge + onA + "; UPDATE lpgl SET 名称='" + huge
                + "' WHERE 名称='雨伞'",
            huge, { ask, kept, "[Form2]", "兑换成功", "修改成功" }, { "kelm -1 +1", "lpdhjr +1", "lpgl -1 +1" });
    }

    void hostileDatabaseValues()
    {
        QFETCH(QString, sql);
        QFETCH(QString, gift);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, changed);
        Desk till;
        till.database.exec(sql);
        till.before = till.snapshot();
        QStringList log;
        const auto step = [&] {
            log << till.messages.texts();
            till.messages.clear();
            for (const char* dialog : { "Form2", "Form3" }) {
                if (QWidget* window = Till::window(dialog)) {
                    log << QString("[%1]").arg(dialog);
                    window->close();
                }
            }
        };

        till.openWithCard("kelm");
        QCOMPARE(Till::list("Form1")->rowCount(), 2);
        Till::clickRow("Form1", 3, A);
        Till::press("Form1", "删除");
        step();
        Till::press("Form1", "充值");
        step();
        Till::window("Form1")->close();
        Class1().jfgl(true);
        Till::press("Form4", "读卡");
        step();
        Till::clickRow("Form4", 1, gift);
        Till::press("Form4", "积分兑换");
        step();
        Till::press("Form4", "礼品管理");
        Till::clickRow("Form5", 1, gift);
        Till::press("Form5", "修改");
        Till::press("Form5", "保存");
        step();
        QCOMPARE(log, expected);
        till.expect({}, changed);
    }

    // A bz table that gives no key byte ends every card command before the reader is touched: the
    // member screen silently, the password dialog and the points screen with the reason.
    void aBadCardKeyEndsEveryCardCommand_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("reason");
        const QString notHex = "卡片密钥标识“%1”不是 0 到 FF 的十六进制数。";
        QTest::newRow("GG") << "UPDATE bz SET 标识='GG'" << notHex.arg("GG");
        QTest::newRow("100") << "UPDATE bz SET 标识='100'" << notHex.arg("100");
        QTest::newRow("empty text") << "UPDATE bz SET 标识=''" << notHex.arg("");
        QTest::newRow("null") << "UPDATE bz SET 标识=NULL"
                              << "无效使用 Null：数据库中的值为空，无法转换为文本。";
        QTest::newRow("no row") << "DELETE FROM bz"
                                << "表 bz 中没有卡片密钥标识。";
        QTest::newRow("huge") << "UPDATE bz SET 标识='" + QString(10000, u'A') + "'"
                              << notHex.arg(QString(10000, u'A'));
    }

    void aBadCardKeyEndsEveryCardCommand()
    {
        QFETCH(QString, sql);
        QFETCH(QString, reason);
        Desk till;
        till.database.exec("UPDATE kelm SET 密码='6688' WHERE 卡号='" + A + "'");
        till.openWithCard("kelm");
        Till::press("Form1", "充值");
        QVERIFY(Till::window("Form3"));
        till.database.exec(sql);
        till.before = till.snapshot();
        till.reader.arm(0);

        for (const char* key : { "充值", "发卡", "初始化" })
            Till::press("Form1", key);
        till.expect({}, {});
        Till::box("Form3", "Text1")->setText("6688");
        Till::click("Form3", "Command1");
        Class1().jfgl(true);
        Till::press("Form4", "读卡");
        till.expect({ reason, reason }, {});
        QCOMPARE(till.reader.calls(), QStringList());
        QVERIFY(Till::window("Form3") && !Till::window("Form2"));
    }

    // config.ini as a host may leave it. The call either fails with the reason or opens the member
    // screen with what could be read; a missing value is empty.
    void brokenConfigFailsTheCallCleanly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error"); // empty: the screen opens
        QTest::addColumn<QString>("operatorName");
        const auto row = [](const char* name, const char* kind, const QByteArray& content, const QString& error,
                             const QString& operatorName = {}) {
            QTest::newRow(name) << QString(kind) << content << error << operatorName;
        };
        const QString noDatabase = "config.ini 中没有设置“数据库名称”";
        const QByteArray utf8 = "[config]\n数据库名称=kelm.db\n";
        QByteArray noise(65536, '\0');
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>((i * 7919 + (i >> 7) * 104729) & 0xFF);
        row("missing", "missing", {}, noDatabase);
        row("empty", "file", {}, noDatabase);
        row("no config section", "file", "数据库名称=kelm.db\n[dqcz]\n操作员=甲\n", noDatabase);
        row("random bytes", "file", noise, noDatabase);
        row("nul bytes", "file", QByteArray(4096, '\0'), noDatabase);
        row("nul in a value", "file", utf8 + "[dqcz]\n操作员=甲" + '\0' + "乙\n", {}, "甲");
        row("invalid utf-8", "file", utf8 + "[dqcz]\n操作员=\xC3\x28\xFF\n", noDatabase);
        row("invalid gbk", "file",
            TextCodec::toGbk("[config]\n数据库名称=kelm.db\n[dqcz]\n操作员=") + "\x81\x20\xFF\x80\n", {},
            "\uFFFD \uFFFD\uFFFD");
        row("1 MB", "file", utf8 + "[dqcz]\n操作员=" + QByteArray(1 << 20, 'x') + "\n", {}, QString(29, u'x'));
        row("directory", "directory", {}, noDatabase);
        row("symlink loop", "loop", {}, noDatabase);
        row("pipe", "pipe", {}, noDatabase);
        row("unknown reader", "file", utf8 + "读卡器=mwrf32\x01\n", "config.ini 中的“读卡器”值“mwrf32\x01”无法识别");
        row("cards folder is a file", "file", utf8 + "卡片目录=kelm.db\n", {});
    }

    void brokenConfigFailsTheCallCleanly()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        QFETCH(QString, operatorName);
        Till t;
        // The reader library as config.ini names it, as a till has it.
        Module1::Seams seams;
        seams.configPath = t.database.configPath();
        seams.messages = &t.messages;
        ScreenRegistry registry(std::move(seams));
        ScreenRegistry::install(&registry);
        const QString path = t.database.configPath();
        QVERIFY(QFile::remove(path));
        if (kind == u"file") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        } else if (kind == u"directory") {
            QVERIFY(QDir().mkdir(path));
        } else if (kind == u"loop") {
            QVERIFY(QFile::link(path, path));
        } else if (kind == u"pipe") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }

        kelm_Class1* host = kelm_Class1_create();
        int result = -1;
        const int rc = kelm_Class1_kelm(host, 1, &result);
        const QString reason = QString::fromUtf8(kelm_last_error());
        kelm_Class1_release(host);
        QCOMPARE(result, 0);
        QWidget* screen = Till::window("Form1");
        if (error.isEmpty()) {
            QCOMPARE(rc, KELM_OK);
            QVERIFY(screen);
            QCOMPARE(registry.module().operatorName(), operatorName);
            // A card command meets the reader config.ini names, whatever it is.
            Till::press("Form1", "初始化");
            QCOMPARE(t.messages.texts(), QStringList({ "初始化失败！" }));
            screen->close();
        } else {
            QCOMPARE(rc, KELM_FAILED);
            QVERIFY2(reason.contains(error), qPrintable(reason));
            QVERIFY(!screen);
        }
    }

    // Message boxes show a typed or stored text as it is: markup in a gift's name is not obeyed.
    void markupInAMessageIsShownAsTyped()
    {
        const QString text = QStringLiteral("数量“<b>5</b><img src=\"x.png\">”不是数字，请重新输入");
        QString shown;
        Qt::TextFormat format = Qt::RichText;
        QTimer::singleShot(0, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                format = box->textFormat();
                box->accept();
            }
        });
        WidgetMessageBoxService().show({ text, AppCaption, Message::Icon::Information, Message::Buttons::Ok });
        QCOMPARE(shown, text);
        QCOMPARE(format, Qt::PlainText);
    }
};

QTEST_MAIN(BadInputTest)
#include "BadInputTest.moc"
