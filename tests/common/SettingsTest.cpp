// config.ini as the tills keep it: GBK or UTF-8, values cut at 29 bytes, the login trimmed of blanks.
#include "common/ProfileReader.h"
#include "common/Settings.h"
#include "common/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using kelm::ProfileReader;
using kelm::Settings;

class SettingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("config.ini"));
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        return path;
    }

private slots:
    void readsGbkAndUtf8FilesAlike_data()
    {
        QTest::addColumn<bool>("gbk");
        QTest::newRow("GBK") << true;
        QTest::newRow("UTF-8") << false;
    }
    void readsGbkAndUtf8FilesAlike()
    {
        QFETCH(bool, gbk);
        const QString text = QStringLiteral("; 收银台设置\r\n[Config]\r\n服务器=  POS01  \r\n用户名=sa\r\n密码=\r\n"
                                            "数据库名称=shop\r\n[dqcz]\r\n操作员= 张三 \r\n");
        const QString path = write(gbk ? kelm::TextCodec::toGbk(text) : text.toUtf8());
        const Settings settings = Settings::load(path);
        QCOMPARE(settings.server, QStringLiteral("  POS01  "));
        QCOMPARE(settings.user, QStringLiteral("sa"));
        QCOMPARE(settings.password, QString());
        QCOMPARE(settings.database, QStringLiteral("shop"));
        // The operator keeps its blanks; the login is trimmed of them only in the connection string.
        QCOMPARE(settings.operatorName, QStringLiteral(" 张三 "));
        QCOMPARE(settings.connectionString(),
                 QStringLiteral("provider=sqloledb;server=POS01;user id=sa;password=;database=shop"));
        QCOMPARE(settings.connection().engine, kelm::Engine::SqlServer);
    }

    void cutsValuesAt29BytesWithoutSplittingACharacterAndKeepsGbkSectionNamesWhole()
    {
        const QByteArray forty(40, 'x');
        QString path = write("[config]\n服务器=" + forty + "\n");
        QCOMPARE(Settings::load(path).server, QString(29, u'x'));

        // 15 Chinese characters are 30 GBK bytes: 14 of them fit in 29 bytes.
        const QString fifteen = QStringLiteral("一二三四五六七八九十壹贰叁肆伍");
        path = write(kelm::TextCodec::toGbk(QStringLiteral("[dqcz]\n操作员=") + fifteen + u'\n'));
        QCOMPARE(Settings::load(path).operatorName, fifteen.left(14));
        // In UTF-8 they take 3 bytes each: 9 characters fit.
        path = write((QStringLiteral("[dqcz]\n操作员=") + fifteen + u'\n').toUtf8());
        QCOMPARE(Settings::load(path).operatorName, fifteen.left(9));

        // "揮" is 0x93 0x5D in GBK: its second byte is "]", which does not end the section name.
        QVERIFY(kelm::TextCodec::toGbk(QStringLiteral("揮")).endsWith(']'));
        const ProfileReader reader = ProfileReader::fromBytes(kelm::TextCodec::toGbk(QStringLiteral("[揮本]\n键=值\n")));
        QCOMPARE(reader.value(QStringLiteral("揮本"), QStringLiteral("键")), QStringLiteral("值"));
    }

    // A missing file, section or key gives an empty value; only blanks are trimmed and nothing is escaped;
    // 驱动 chooses the engine.
    void theConnectionIsWhatTheFileSays()
    {
        const Settings missing = Settings::load(m_dir.filePath(QStringLiteral("nowhere.ini")));
        QCOMPARE(missing.connectionString(),
                 QStringLiteral("provider=sqloledb;server=;user id=;password=;database="));
        QCOMPARE(missing.connection().engine, kelm::Engine::Sqlite);

        const QString path = write("[other]\n服务器=x\n[config]\n用户名=u\n");
        const Settings settings = Settings::load(path);
        QCOMPARE(settings.server, QString());
        QCOMPARE(settings.user, QStringLiteral("u"));
        QCOMPARE(Settings::load(write("[config]\n服务器=\tPOS;01 \n数据库名称=a;b=c\n")).connectionString(),
                 QStringLiteral("provider=sqloledb;server=\tPOS;01;user id=;password=;database=a;b=c"));

        QCOMPARE(Settings::load(write("[config]\n驱动=PostgreSQL\n服务器=db\n")).connection().engine,
                 kelm::Engine::PostgreSql);
        QCOMPARE(Settings::load(write("[config]\n驱动=sqlite\n服务器=db\n")).connection().engine,
                 kelm::Engine::Sqlite);
        const Settings unknown = Settings::load(write("[config]\n驱动=oracle\n"));
        try {
            unknown.connection();
            QFAIL("an unknown driver was accepted");
        } catch (const kelm::Error& failure) {
            QVERIFY(QString::fromUtf8(failure.what()).contains(QStringLiteral("oracle")));
        }
    }

    // $KELM_CONFIG alone when set, else config.ini beside the library, else the system's file; relative
    // paths in it are taken from the folder of the file used; a failure names every path looked at.
    void looksForConfigIniInItsOrder()
    {
        QTemporaryDir library, etc, elsewhere;
        const QString beside = Settings::pathIn(library.path());
        const QString system = etc.filePath(QStringLiteral("config.ini"));
        const QString named = elsewhere.filePath(QStringLiteral("till.ini"));
        const auto located = [&]() -> QString {
            try {
                return Settings::locate(library.path(), system);
            } catch (const kelm::Error& failure) {
                return QString::fromUtf8(failure.what());
            }
        };
        const auto create = [](const QString& path) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[config]\n数据库名称=kelm.db\n卡片目录=cards\n");
        };
        qunsetenv("KELM_CONFIG");
        QCOMPARE(located(), QStringLiteral("找不到 config.ini：“%1”和“%2”都不存在。").arg(beside, system));
        create(system);
        QCOMPARE(located(), system);
        create(beside);
        QCOMPARE(located(), beside);
        qputenv("KELM_CONFIG", QFile::encodeName(named));
        QCOMPARE(located(), QStringLiteral("找不到 config.ini：环境变量 KELM_CONFIG 指定的“%1”不存在。").arg(named));
        create(named);
        QCOMPARE(located(), named);
        qunsetenv("KELM_CONFIG");
        const Settings settings = Settings::load(named);
        QCOMPARE(settings.cardsPath(), elsewhere.filePath(QStringLiteral("cards")));
        QCOMPARE(settings.connection().baseFolder, elsewhere.path());
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "SettingsTest.moc"
