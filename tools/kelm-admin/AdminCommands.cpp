#include "AdminCommands.h"

#include "common/AuditTable.h"
#include "common/Books.h"
#include "common/CardKeyTable.h"
#include "common/GiftTable.h"
#include "common/MemberTable.h"
#include "common/ProfileReader.h"
#include "common/SchemaScript.h"
#include "common/Settings.h"
#include "common/SharedConnection.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace kelm::AdminCommands {

namespace {

std::unique_ptr<Database> openDatabase(const ConnectionSettings& connection)
{
    auto db = SharedConnection::createDatabase(connection.engine);
    db->open(connection);
    return db;
}

struct DemoMember
{
    const char* card;
    const char* name;
    const char* address;
    const char* phone;
    const char* password;
    const char* idNumber;
    const char* balance;
    const char* points;
};

const DemoMember DemoMembers[] = {
    {"2026110109150", "张伟", "北京市朝阳区建国路88号", "13801012345", "462", "110105198203154512", "0", "0"},
    {"2026110210321", "王芳", "上海市浦东新区世纪大道100号", "13916623456", "462", "310115199007233026", "150.5", "120"},
    {"2026110314085", "李娜", "广州市天河区体育西路56号", "13622278901", "8866", "440106198811052241", "320", "85"},
    {"2026110416472", "刘洋", "深圳市南山区科技园南区", "13530045678", "462", "440305199512187716", "58.8", "300"},
    {"2026110509233", "陈静", "杭州市西湖区文三路478号", "13757112233", "1234", "330106198701284420", "1000", "2560"},
    {"2026110611104", "杨磊", "成都市锦江区春熙路32号", "18980034567", "462", "510104199302096631", "0", "40"},
    {"2026110713555", "赵敏", "南京市鼓楼区中山北路200号", "15905178899", "462", "320106199108306028", "12.3", "0"},
    {"2026110815016", "黄涛", "武汉市江汉区解放大道690号", "13871129900", "2580", "420103198605117753", "75", "15"},
    {"2026110908427", "周婷", "西安市雁塔区小寨东路126号", "18629051122", "462", "610113199409252347", "200", "980"},
    {"2026111017388", "吴刚", "重庆市渝中区解放碑步行街", "13983343344", "462", "500103198912041258", "5.5", "7"},
    {"2026111111279", "O'Brien", "天津市和平区南京路189号", "13512256677", "462", "120101198510103318", "66.6", "66"},
    {"2026111210190", "孙丽", "苏州市姑苏区观前街8号", "13862158800", "462", "320508199606163921", "0", "500"},
};

struct DemoGift
{
    const char* name;
    const char* quantity;
    const char* points;
};

const DemoGift DemoGifts[] = {
    {"保温杯", "20", "80"},   {"雨伞", "35", "50"},     {"购物袋", "100", "10"},
    {"电饭煲", "5", "600"},   {"毛巾礼盒", "40", "30"}, {"蓝牙耳机", "8", "900"},
};

} // namespace

int init(const QString& configPath, QTextStream& out, QTextStream& err)
{
    try {
        const Settings settings = Settings::load(configPath);
        const ConnectionSettings connection = settings.connection();
        if (connection.engine == Engine::Sqlite) {
            if (connection.database.isEmpty()) {
                err << configPath << " names no database file (key 数据库名称 in section config)\n";
                return 1;
            }
            // The library never creates a database; setting one up is this tool's job. The file holds
            // every member's PIN and ID number: only its owner reads it (SQLite gives its journal the
            // same mode).
            QFile file(QDir(connection.baseFolder).absoluteFilePath(connection.database));
            const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
            if (!file.exists() && !file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly)) {
                err << "cannot create " << file.fileName() << ": " << file.errorString() << "\n";
                return 1;
            }
        }
        QFile script(QStringLiteral(":/sql/") + SchemaScript::fileName(connection.engine));
        if (!script.open(QIODevice::ReadOnly)) {
            err << "the schema file " << script.fileName() << " is missing from this build\n";
            return 1;
        }
        auto db = openDatabase(connection);
        SchemaScript::run(*db, QString::fromUtf8(script.readAll()));
        const auto keyByte = QRandomGenerator::system()->bounded(1, 256);
        const QString identifier = QStringLiteral("%1").arg(keyByte, 2, 16, QLatin1Char('0')).toUpper();
        CardKeyTable::insert(*db, identifier);
        out << "created the six tables; card key byte " << identifier << "\n";
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

namespace {

// Prints the shared card numbers; true when there are none.
bool reportDuplicates(Database& db, QTextStream& out)
{
    const auto duplicates = MemberTable::duplicateCardNumbers(db);
    for (const auto& [cardNumber, members] : duplicates)
        out << "card number " << cardNumber << " is held by " << members << " members\n";
    if (!duplicates.empty()) {
        out << duplicates.size() << " card numbers are shared; the tills refuse to top up, redeem, edit, delete or "
            << "report lost a member by such a card until one member keeps the number\n";
    }
    return duplicates.empty();
}

} // namespace

int check(const QString& configPath, QTextStream& out, QTextStream& err)
{
    try {
        auto db = openDatabase(Settings::load(configPath).connection());
        if (!reportDuplicates(*db, out))
            return 1;
        out << "no card number is held by more than one member\n";
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

int upgrade(const QString& configPath, QTextStream& out, QTextStream& err)
{
    try {
        const ConnectionSettings connection = Settings::load(configPath).connection();
        QFile script(QStringLiteral(":/sql/") + SchemaScript::upgradeFileName(connection.engine));
        if (!script.open(QIODevice::ReadOnly)) {
            err << "the upgrade file " << script.fileName() << " is missing from this build\n";
            return 1;
        }
        auto db = openDatabase(connection);
        if (!reportDuplicates(*db, out)) {
            err << "not upgraded: each card number must belong to one member first\n";
            return 1;
        }
        Transaction transaction(*db);
        SchemaScript::run(*db, QString::fromUtf8(script.readAll()));
        transaction.commit();
        out << "the database is up to date\n";
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

int audit(const QString& configPath, const QString& cardNumber, QTextStream& out, QTextStream& err)
{
    try {
        auto db = openDatabase(Settings::load(configPath).connection());
        if (!AuditTable::exists(*db)) {
            err << "this database keeps no audit (table kelm_audit); kelm-admin upgrade adds it\n";
            return 1;
        }
        out << "时间\t收银机\t操作员\t卡号\t操作\t原值\t新值\t说明\n";
        AuditTable::selectNewestFirst(*db, cardNumber, [&](const Row& row) {
            QStringList cells;
            for (int i = 0; i < row.columnCount(); ++i)
                cells << (row.cell(i).isNull() ? QString() : row.cell(i).toText());
            out << cells.join(u'\t') << "\n";
            return true;
        });
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

int reportDay(const QString& configPath, const QString& day, QTextStream& out, QTextStream& err)
{
    const QDate date = day.isEmpty() ? QDate::currentDate() : QDate::fromString(day, Qt::ISODate);
    if (!date.isValid()) {
        err << "kelm-admin: report day takes a date as YYYY-MM-DD, not \"" << day << "\"\n";
        return 2;
    }
    try {
        auto db = openDatabase(Settings::load(configPath).connection());
        const Books::DayReport report = Books::dayReport(*db, {date, date});
        out << "日报 " << date.toString(Qt::ISODate) << "\n\n充值（按操作员）\n";
        for (const Books::OperatorTakings& takings : report.topUps)
            out << "  " << takings.operatorName << "\t" << takings.count << " 笔\t" << takings.sum.toText() << " 元\n";
        out << "  合计\t" << report.topUpCount << " 笔\t" << report.topUpSum.toText() << " 元\n\n兑换（按礼品）\n";
        for (const Books::GiftRedemptions& gift : report.redemptions)
            out << "  " << gift.gift << "\t" << gift.count << " 次\t" << gift.points.toText() << " 积分\n";
        out << "  合计\t" << report.redemptionCount << " 次\t" << report.redemptionPoints.toText() << " 积分\n";
        if (!report.unreadable.empty()) {
            // Rows of any day may hide among them: they are named, never silently left out.
            out << "\n日期或数值无法识别、未计入的记录 " << report.unreadable.size() << " 条：\n";
            for (const Books::Unreadable& row : report.unreadable) {
                out << "  " << row.table << "\t" << row.date << "\t" << row.cardNumber << "\t" << row.amount << "\t"
                    << row.operatorName << "\n";
            }
        }
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

int configure(const QString& configPath, const QStringList& assignments, bool replace, QTextStream& out,
              QTextStream& err)
{
    const std::span<const Settings::Key> keys = Settings::keys();
    std::vector<std::optional<QString>> given(keys.size());
    const auto indexOf = [&](QStringView name) -> std::size_t {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (name.compare(QString::fromUtf16(keys[i].name), Qt::CaseInsensitive) == 0)
                return i;
        }
        return keys.size();
    };
    for (const QString& assignment : assignments) {
        const qsizetype equals = assignment.indexOf(u'=');
        const std::size_t key = indexOf(QStringView(assignment).left(equals).trimmed());
        if (equals < 0 || key == keys.size()) {
            QStringList names;
            for (const Settings::Key& k : keys)
                names << QString::fromUtf16(k.name);
            err << "not a KEY=VALUE of config.ini: " << assignment << "\nthe keys: " << names.join(u' ') << "\n";
            return 1;
        }
        const QString value = assignment.mid(equals + 1);
        if (given[key] || value.contains(u'\n') || value.contains(u'\r')) {
            err << QString::fromUtf16(keys[key].name) << (given[key] ? " is given twice\n" : " holds a line break\n");
            return 1;
        }
        given[key] = value;
    }
    // A new configuration asks for what the shop's tills never had: a checked, encrypted line to a
    // server, and no negative top-ups. Given values stay as given.
    const auto defaultTo = [&](const char16_t* name, const char* value) {
        std::optional<QString>& slot = given[indexOf(QStringView(name))];
        if (!slot)
            slot = QString::fromUtf8(value);
    };
    const std::optional<QString>& server = given[indexOf(u"服务器")];
    if (server && !server->trimmed().isEmpty())
        defaultTo(u"加密", "verify-full");
    defaultTo(u"允许负数充值", "否");

    QString text;
    QString section;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!given[i])
            continue;
        if (section != QString::fromUtf16(keys[i].section)) {
            section = QString::fromUtf16(keys[i].section);
            text += u'[' + section + QStringLiteral("]\n");
        }
        text += QString::fromUtf16(keys[i].name) + u'=' + *given[i] + u'\n';
    }

    // What a till would read from it: every value whole, and settings a till can open.
    const QFileInfo target(configPath);
    const Settings settings = Settings::read(ProfileReader::fromBytes(text.toUtf8()), target.absolutePath());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (given[i] && settings.*keys[i].field != *given[i]) {
            err << QString::fromUtf16(keys[i].name) << ": a till reads at most " << keys[i].maxBytes
                << " bytes of it\n";
            return 1;
        }
    }
    try {
        settings.connection();
    } catch (const Error& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }

    // The file holds the database login: it is made readable by its owner only, and appears whole
    // or not at all. Without --force a link to its name is made, which fails where a file is.
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.config.ini.XXXXXX"));
    const QByteArray bytes = text.toUtf8();
    if (!file.open() || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        err << "cannot write " << configPath << ": " << file.errorString() << "\n";
        return 1;
    }
    const QByteArray from = QFile::encodeName(file.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if ((replace ? ::rename(from.constData(), to.constData()) : ::link(from.constData(), to.constData())) != 0) {
        if (errno == EEXIST)
            err << configPath << " exists; --force replaces it\n";
        else
            err << "cannot write " << configPath << ": " << QString::fromLocal8Bit(std::strerror(errno)) << "\n";
        return 1;
    }
    if (replace)
        file.setAutoRemove(false);
    out << "wrote " << configPath << ", readable by its owner only\n";
    return 0;
}

int demo(const QString& configPath, QTextStream& out, QTextStream& err)
{
    try {
        auto db = openDatabase(Settings::load(configPath).connection());
        for (const DemoMember& m : DemoMembers) {
            MemberTable::Member record{
                QStringLiteral("2026-11-%1").arg(QString::fromLatin1(m.card + 6, 2)),
                QString::fromUtf8(m.card),
                QString::fromUtf8(m.name),
                QString::fromUtf8(m.address),
                QString::fromUtf8(m.phone),
                QString::fromUtf8(m.password),
                QString::fromUtf8(m.idNumber),
            };
            MemberTable::insert(*db, record);
            MemberTable::setBalanceAndPoints(*db, record.cardNumber, QString::fromUtf8(m.balance),
                                             QString::fromUtf8(m.points));
        }
        for (const DemoGift& g : DemoGifts) {
            GiftTable::insert(*db, {QString::fromUtf8(g.name), QString::fromUtf8(g.quantity),
                                    QString::fromUtf8(g.points)});
        }
        out << "added " << std::size(DemoMembers) << " members and " << std::size(DemoGifts) << " gifts\n";
        return 0;
    } catch (const std::exception& failure) {
        err << QString::fromUtf8(failure.what()) << "\n";
        return 1;
    }
}

} // namespace kelm::AdminCommands
