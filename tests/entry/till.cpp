// A second till for the tests: its own process on the database config.ini names, driven line by line
// on stdin, answering one line each on stdout. Commands:
//   load                          open the connection as a screen's load does (re-reads config.ini)
//   add CARD NAME                 save a new member as the member screen does
//   balance CARD                  the member's balance as the recharge dialog reads it
//   topup CARD NEW LOADED         write NEW only if the balance is still LOADED ("-" for none)
#include "common/MemberTable.h"
#include "common/Settings.h"
#include "common/SharedConnection.h"

#include <QCoreApplication>
#include <QDate>
#include <QStringList>
#include <QTextStream>

using namespace kelm;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString configPath = QString::fromLocal8Bit(argv[1]);
    SharedConnection connection;
    const int holder = 0;
    QTextStream in(stdin);
    QTextStream out(stdout);
    QString line;
    while (in.readLineInto(&line)) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        try {
            if (words[0] == u"load") {
                connection.open(Settings::load(configPath).connection(), &holder);
                out << "open\n";
            } else if (words[0] == u"add" && words.size() == 3) {
                MemberTable::insert(connection.database(),
                                    {QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")), words[1], words[2],
                                     QString(), QString(), QStringLiteral("462"), QString()});
                out << "saved\n";
            } else if (words[0] == u"balance" && words.size() == 2) {
                const std::optional<MemberTable::Member> member = MemberTable::findByCard(connection.database(), words[1]);
                out << (!member ? QStringLiteral("none") : member->balance.isNull() ? QStringLiteral("null")
                                                                                    : member->balance.text())
                    << "\n";
            } else if (words[0] == u"topup" && words.size() == 4) {
                const StoredNumber loaded = words[3] == u"-" ? StoredNumber() : StoredNumber::written(words[3]);
                out << "changed "
                    << MemberTable::updateBalanceIfUnchanged(connection.database(), words[1], words[2], loaded) << "\n";
            } else if (words[0] == u"quit") {
                break;
            } else {
                out << "error unknown command\n";
            }
        } catch (const std::exception& failure) {
            out << "error " << QString::fromUtf8(failure.what()).replace(u'\n', u' ') << "\n";
        }
        out.flush();
    }
    return 0;
}
