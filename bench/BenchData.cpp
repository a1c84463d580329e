#include "BenchData.h"

#include "common/CardKeyTable.h"
#include "common/SchemaScript.h"
#include "common/SqliteDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelm {

namespace {

// Bump when the rows change, so old databases are not taken for new ones.
constexpr int DataVersion = 1;
// The same for the books databases alone.
constexpr int BooksVersion = 2;

constexpr std::array Surnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡", "郭", "何",
    "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹", "彭", "曾", "肖", "田",
    "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜", "叶", "程", "苏", "魏", "吕", "丁", "任", "沈", "欧阳",
};
constexpr std::array GivenNameCharacters = {
    "伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰", "娟", "涛", "明", "超",
    "秀", "霞", "平", "刚", "桂", "英", "华", "建", "国", "文", "辉", "玲", "红", "晨", "宇", "浩", "欣",
    "佳", "怡", "子", "梓", "涵", "轩", "睿", "博", "雪", "慧", "鑫", "婷", "亮", "俊", "峰", "琳",
};
constexpr std::array Cities = {
    "北京市朝阳区", "上海市浦东新区", "广东省广州市天河区", "广东省深圳市南山区", "浙江省杭州市西湖区",
    "江苏省南京市鼓楼区", "四川省成都市武侯区", "湖北省武汉市洪山区", "陕西省西安市雁塔区",
    "山东省济南市历下区", "河南省郑州市金水区", "湖南省长沙市岳麓区", "福建省厦门市思明区",
    "辽宁省沈阳市和平区", "重庆市渝中区", "天津市南开区", "云南省昆明市五华区", "安徽省合肥市蜀山区",
};
constexpr std::array Roads = {
    "人民路", "建设路", "解放路", "中山路", "和平路", "胜利路", "文化路", "新华路", "长江路", "黄河路",
    "滨江大道", "科技园路", "光明街", "幸福里", "青年路", "东风路", "学府路", "花园路", "振兴街", "朝阳路",
};
constexpr std::array Regions = {
    "110105", "310115", "440106", "440305", "330106", "320106", "510107", "420111", "610113",
    "370102", "410105", "430104", "350203", "210102", "500103", "120104", "530102", "340104",
};
constexpr std::array MobilePrefixes = {"130", "131", "132", "135", "136", "137", "138", "139", "150",
                                       "151", "152", "158", "159", "177", "180", "186", "187", "189"};
constexpr std::array GiftWords = {"精品", "家用", "经典", "便携", "节日", "会员专享", "加厚", "大容量"};
constexpr std::array GiftItems = {"保温杯", "雨伞", "毛巾", "洗衣液", "食用油", "大米", "电饭煲", "台灯",
                                  "购物袋", "抽纸", "牙膏", "洗发水", "玻璃杯", "榨汁机", "电水壶", "床单"};

// The rows of one size, the same on every machine.
class RowMaker
{
public:
    explicit RowMaker(std::uint64_t seed)
        : m_random(seed)
    {
    }

    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    template <typename Words>
    const char* pick(const Words& words)
    {
        return words[static_cast<std::size_t>(between(0, static_cast<int>(words.size()) - 1))];
    }
    std::string digits(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += static_cast<char>('0' + between(0, 9));
        return text;
    }

    // Distinct for every i below 9 * 10^12: the multiplier shares no factor with the modulus.
    static std::string cardNumber(std::int64_t i)
    {
        constexpr std::int64_t Modulus = 9'000'000'000'000;
        const std::int64_t value = 1'000'000'000'000 + (i * 2'654'435'761 + 97'531) % Modulus;
        return std::to_string(value);
    }
    std::string date(int firstYear, int lastYear)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", between(firstYear, lastYear), between(1, 12),
                      between(1, 28));
        return text;
    }
    std::string name()
    {
        std::string text = pick(Surnames);
        text += pick(GivenNameCharacters);
        if (between(0, 3) != 0)
            text += pick(GivenNameCharacters);
        return text;
    }
    std::string address()
    {
        std::string text = pick(Cities);
        text += pick(Roads);
        text += std::to_string(between(1, 999)) + "号";
        if (between(0, 2) != 0)
            text += std::to_string(between(1, 30)) + "栋" + std::to_string(between(1, 6)) + "单元"
                + std::to_string(between(1, 32)) + "0" + std::to_string(between(1, 8)) + "室";
        return text;
    }
    std::string idNumber()
    {
        std::string text = pick(Regions);
        char birth[16];
        std::snprintf(birth, sizeof birth, "%04d%02d%02d", between(1950, 2006), between(1, 12), between(1, 28));
        text += birth;
        text += digits(3);
        // The check character of the national ID number (ISO 7064 MOD 11-2).
        static constexpr int Weights[] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
        int sum = 0;
        for (int i = 0; i < 17; ++i)
            sum += (text[static_cast<std::size_t>(i)] - '0') * Weights[i];
        text += "10X98765432"[sum % 11];
        return text;
    }
    std::string phone() { return pick(MobilePrefixes) + digits(8); }
    // Cents, and now and then a card used up.
    double balance() { return between(0, 4) == 0 ? 0.0 : between(0, 500000) / 100.0; }
    int points() { return between(0, 9) == 0 ? 0 : between(1, 30000); }
    std::string password() { return between(0, 2) == 0 ? digits(6) : "462"; }
    std::string giftName(int i)
    {
        return std::string(pick(GiftWords)) + pick(GiftItems) + "（" + std::to_string(between(1, 9)) + "件装）"
            + std::to_string(i + 1) + "号";
    }

private:
    std::mt19937_64 m_random;
};

void check(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql)
{
    check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

void bindText(sqlite3_stmt* statement, int index, const std::string& text)
{
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void insertMembers(sqlite3* db, int count, std::uint64_t seed)
{
    sqlite3_stmt* statement = nullptr;
    check(db,
          sqlite3_prepare_v2(db,
                             "INSERT INTO kelm (日期,卡号,姓名,联系地址,联系电话,密码,身份证号,余额,积分) "
                             "VALUES (?,?,?,?,?,?,?,?,?)",
                             -1, &statement, nullptr),
          "prepare members");
    RowMaker maker(seed);
    for (int i = 0; i < count; ++i) {
        bindText(statement, 1, maker.date(2012, 2025));
        bindText(statement, 2, RowMaker::cardNumber(i));
        bindText(statement, 3, maker.name());
        bindText(statement, 4, maker.address());
        bindText(statement, 5, maker.phone());
        bindText(statement, 6, maker.password());
        bindText(statement, 7, maker.idNumber());
        sqlite3_bind_double(statement, 8, maker.balance());
        sqlite3_bind_int(statement, 9, maker.points());
        check(db, sqlite3_step(statement), "insert member");
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
}

void insertGifts(sqlite3* db, int count, std::uint64_t seed)
{
    sqlite3_stmt* statement = nullptr;
    check(db, sqlite3_prepare_v2(db, "INSERT INTO lpgl (名称,数量,积分) VALUES (?,?,?)", -1, &statement, nullptr),
          "prepare gifts");
    RowMaker maker(seed);
    for (int i = 0; i < count; ++i) {
        bindText(statement, 1, maker.giftName(i));
        sqlite3_bind_int(statement, 2, maker.between(0, 500));
        sqlite3_bind_int(statement, 3, maker.between(1, 400) * 50);
        check(db, sqlite3_step(statement), "insert gift");
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
}

// A year of top-ups and redemptions by members spread over the table. Each till writes the date in its
// own short form, most as "2026/3/7", some as "2026-03-07" or "07.03.2026"; a few rows carry a date
// no report can read.
void insertHistory(sqlite3* db, int members, int topUps, std::uint64_t seed)
{
    if (topUps == 0)
        return;
    static constexpr std::array Operators = {"收银员01", "收银员02", "收银员03", "店长", "夜班", "收银员05"};
    sqlite3_stmt* topUp = nullptr;
    sqlite3_stmt* redemption = nullptr;
    sqlite3_stmt* lost = nullptr;
    check(db, sqlite3_prepare_v2(db, "INSERT INTO qzjl (日期,卡号,持卡人,业务,金额,操作员) VALUES (?,?,?,'充值',?,?)", -1,
                                 &topUp, nullptr),
          "prepare top-ups");
    check(db, sqlite3_prepare_v2(db, "INSERT INTO lpdhjr (日期,卡号,姓名,礼品,数量,积分,操作员) VALUES (?,?,?,?,1,?,?)", -1,
                                 &redemption, nullptr),
          "prepare redemptions");
    check(db, sqlite3_prepare_v2(db, "INSERT INTO gs SELECT 日期,卡号,姓名,联系地址,联系电话,密码,身份证号 FROM kelm "
                                     "WHERE rowid = ?", -1, &lost, nullptr),
          "prepare lost cards");
    RowMaker maker(seed);
    // The shop's catalogue of a hundred gifts.
    std::vector<std::string> gifts;
    for (int i = 0; i < 100; ++i)
        gifts.push_back(maker.giftName(i));
    const auto date = [&maker] {
        const int month = maker.between(1, 12);
        const int day = maker.between(1, 28);
        char text[32];
        switch (maker.between(0, 9)) {
        case 0:
            std::snprintf(text, sizeof text, "2026-%02d-%02d", month, day);
            break;
        case 1:
            std::snprintf(text, sizeof text, "%02d.%02d.2026", day, month);
            break;
        default:
            std::snprintf(text, sizeof text, "2026/%d/%d", month, day);
            break;
        }
        return std::string(text);
    };
    for (int i = 0; i < topUps; ++i) {
        bindText(topUp, 1, i % 100000 == 99999 ? std::string("星期三") : date());
        bindText(topUp, 2, RowMaker::cardNumber(maker.between(0, members - 1)));
        bindText(topUp, 3, maker.name());
        sqlite3_bind_double(topUp, 4, maker.between(1, 100000) / 100.0);
        bindText(topUp, 5, maker.pick(Operators));
        check(db, sqlite3_step(topUp), "insert top-up");
        sqlite3_reset(topUp);
    }
    for (int i = 0; i < topUps / 4; ++i) {
        bindText(redemption, 1, date());
        bindText(redemption, 2, RowMaker::cardNumber(maker.between(0, members - 1)));
        bindText(redemption, 3, maker.name());
        bindText(redemption, 4, gifts[static_cast<std::size_t>(maker.between(0, 99))]);
        sqlite3_bind_int(redemption, 5, maker.between(1, 400) * 50);
        bindText(redemption, 6, maker.pick(Operators));
        check(db, sqlite3_step(redemption), "insert redemption");
        sqlite3_reset(redemption);
    }
    for (int i = 0; i < members / 1000; ++i) {
        sqlite3_bind_int(lost, 1, maker.between(1, members));
        check(db, sqlite3_step(lost), "insert lost card");
        sqlite3_reset(lost);
    }
    sqlite3_finalize(topUp);
    sqlite3_finalize(redemption);
    sqlite3_finalize(lost);
}

} // namespace

BenchData::BenchData(QString folder)
    : m_folder(std::move(folder))
{
}

BenchDatabase BenchData::members(int count)
{
    return ensure(QStringLiteral("v%1-members-%2").arg(DataVersion).arg(count), count, 6);
}

BenchDatabase BenchData::gifts(int count)
{
    return ensure(QStringLiteral("v%1-gifts-%2").arg(DataVersion).arg(count), 12, count);
}

BenchDatabase BenchData::books(int count)
{
    return ensure(QStringLiteral("v%1-books-%2").arg(BooksVersion).arg(count), count, 6, count);
}

BenchDatabase BenchData::ensure(const QString& name, int members, int gifts, int topUps)
{
    BenchDatabase data;
    data.folder = QDir(m_folder).absoluteFilePath(name);
    data.configPath = QDir(data.folder).filePath(QStringLiteral("config.ini"));
    data.databasePath = QDir(data.folder).filePath(QStringLiteral("kelm.db"));
    data.members = members;
    data.gifts = gifts;
    data.topUps = topUps;
    if (QFileInfo::exists(data.configPath) && QFileInfo::exists(data.databasePath))
        return data;

    // Made under another name and renamed when complete, so an interrupted run leaves nothing
    // that a later run would take for a whole database.
    const QString partial = data.folder + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    if (!QDir().mkpath(partial))
        throw std::runtime_error("cannot create " + partial.toStdString());
    std::fprintf(stderr, "Making %s (once; later runs reuse it)...\n", qPrintable(data.folder));
    make(partial, members, gifts, topUps);
    QDir(data.folder).removeRecursively();
    if (!QDir().rename(partial, data.folder))
        throw std::runtime_error("cannot rename " + partial.toStdString());
    return data;
}

void BenchData::make(const QString& folder, int members, int gifts, int topUps)
{
    const QString path = QDir(folder).filePath(QStringLiteral("kelm.db"));
    QFile(path).open(QIODevice::WriteOnly);
    {
        // The tables exactly as a till gets them.
        SqliteDatabase db;
        ConnectionSettings settings;
        settings.database = path;
        db.open(settings);
        QFile schema(QStringLiteral(KELM_SOURCE_DIR "/sql/sqlite.sql"));
        if (!schema.open(QIODevice::ReadOnly))
            throw std::runtime_error("the schema file sql/sqlite.sql is missing");
        SchemaScript::run(db, QString::fromUtf8(schema.readAll()));
        CardKeyTable::insert(db, QStringLiteral("A7"));
    }

    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path.toStdString());
    try {
        exec(db, "PRAGMA synchronous=OFF");
        exec(db, "PRAGMA cache_size=-262144");
        exec(db, "BEGIN");
        insertMembers(db, members, 1000 + static_cast<std::uint64_t>(members));
        insertGifts(db, gifts, 2000 + static_cast<std::uint64_t>(gifts));
        insertHistory(db, members, topUps, 3000 + static_cast<std::uint64_t>(topUps));
        exec(db, "COMMIT");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);

    QFile config(QDir(folder).filePath(QStringLiteral("config.ini")));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("[config]\n数据库名称=kelm.db\n卡片目录=cards\n[dqcz]\n操作员=收银员01\n").toUtf8());
}

} // namespace kelm
