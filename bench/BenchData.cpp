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

namespace kelm {

namespace {

// Bump when the rows change, so old databases are not taken for new ones.
constexpr int DataVersion = 1;

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

BenchDatabase BenchData::ensure(const QString& name, int members, int gifts)
{
    BenchDatabase data;
    data.folder = QDir(m_folder).absoluteFilePath(name);
    data.configPath = QDir(data.folder).filePath(QStringLiteral("config.ini"));
    data.databasePath = QDir(data.folder).filePath(QStringLiteral("kelm.db"));
    data.members = members;
    data.gifts = gifts;
    if (QFileInfo::exists(data.configPath) && QFileInfo::exists(data.databasePath))
        return data;

    // Made under another name and renamed when complete, so an interrupted run leaves nothing
    // that a later run would take for a whole database.
    const QString partial = data.folder + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    if (!QDir().mkpath(partial))
        throw std::runtime_error("cannot create " + partial.toStdString());
    std::fprintf(stderr, "Making %s (once; later runs reuse it)...\n", qPrintable(data.folder));
    make(partial, members, gifts);
    QDir(data.folder).removeRecursively();
    if (!QDir().rename(partial, data.folder))
        throw std::runtime_error("cannot rename " + partial.toStdString());
    return data;
}

void BenchData::make(const QString& folder, int members, int gifts)
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
