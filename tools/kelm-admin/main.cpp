// kelm-admin: sets up a kelm database and the simulated member cards.
#include "AdminCommands.h"
#include "CardCommands.h"

#include "common/LibraryFolder.h"
#include "common/Settings.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

const char Usage[] = "usage: kelm-admin [--config PATH] COMMAND\n"
                     "  configure [--force] KEY=VALUE...\n"
                     "                      write a new config.ini, readable by its owner only; KEY is a\n"
                     "                      key of config.ini (操作员 for section dqcz); 加密=verify-full\n"
                     "                      when 服务器 is given and 允许负数充值=否 unless told otherwise;\n"
                     "                      --force replaces an existing file\n"
                     "  init                create the six tables and the card key byte\n"
                     "  demo                add sample members and gifts\n"
                     "  check               list card numbers that more than one member holds\n"
                     "  upgrade             bring a database made by an older version up to date\n"
                     "  audit [CARD]        every change of money, points, members and gifts, newest first\n"
                     "  card new            make a blank simulated card, print its serial number\n"
                     "  card place SERIAL   lay a card on the simulated reader\n"
                     "  card remove         take the card off the reader\n"
                     "  card list           the cards, and which one lies on the reader\n"
                     "  card show SERIAL    a card's sectors, keys and card text\n"
                     "PATH defaults to config.ini beside this program.\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = app.arguments().mid(1);
    QString configPath = kelm::Settings::pathIn(kelm::libraryFolder());
    if (args.size() >= 2 && args[0] == u"--config") {
        configPath = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        err << Usage;
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == u"configure") {
        const bool replace = args.removeAll(QStringLiteral("--force")) > 0;
        if (!args.isEmpty())
            return kelm::AdminCommands::configure(configPath, args, replace, out, err);
    }
    if (command == u"init" && args.isEmpty())
        return kelm::AdminCommands::init(configPath, out, err);
    if (command == u"check" && args.isEmpty())
        return kelm::AdminCommands::check(configPath, out, err);
    if (command == u"upgrade" && args.isEmpty())
        return kelm::AdminCommands::upgrade(configPath, out, err);
    if (command == u"audit" && args.size() <= 1)
        return kelm::AdminCommands::audit(configPath, args.value(0), out, err);
    if (command == u"demo" && args.isEmpty())
        return kelm::AdminCommands::demo(configPath, out, err);
    if (command == u"card")
        return kelm::runCardCommand(args, kelm::Settings::load(configPath).cardsPath(), out, err);
    err << Usage;
    return 2;
}
