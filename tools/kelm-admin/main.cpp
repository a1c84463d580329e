// kelm-admin: sets up a kelm database and the simulated member cards, and moves the database's rows out, in
// and over to another database.
#include "AdminCommands.h"
#include "CardCommands.h"
#include "TransferCommands.h"

#include "common/LibraryFolder.h"
#include "common/Settings.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

const char Usage[] = "usage: kelm-admin [--config PATH] COMMAND\n"
                     "       kelm-admin --help | --version\n"
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
                     "  export members|topups|redemptions|lost FILE\n"
                     "                      write the table to a CSV file (UTF-8, a header line of its column\n"
                     "                      names), readable by its owner only\n"
                     "  import members FILE add the members of a CSV file as export writes it; every line is\n"
                     "                      checked first, and while any is wrong nothing is added\n"
                     "  backup FILE         copy the SQLite database to a new FILE while the tills work\n"
                     "  copy --to OTHER.ini [--replace]\n"
                     "                      copy every table to the database OTHER.ini names (any engine to any);\n"
                     "                      --replace deletes what it holds first; kept only when the row counts\n"
                     "                      and the sums of balances and points agree\n"
                     "  card new            make a blank simulated card, print its serial number\n"
                     "  card place SERIAL   lay a card on the simulated reader\n"
                     "  card remove         take the card off the reader\n"
                     "  card list           the cards, and which one lies on the reader\n"
                     "  card show SERIAL    a card's sectors, keys and card text\n"
                     "Without --config, the config.ini the tills use: $KELM_CONFIG when it is set, else\n"
                     "config.ini beside libkelm.so, else /etc/kelm/config.ini. configure writes to the\n"
                     "first of these that exists, or beside libkelm.so.\n";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == u"--help" || args[0] == u"-h")) {
        out << Usage;
        return 0;
    }
    if (args.size() == 1 && args[0] == u"--version") {
        out << "kelm-admin " << KELM_VERSION << "\n";
        return 0;
    }
    QString configPath;
    if (!args.isEmpty() && args[0] == u"--config") {
        if (args.size() < 2 || args[1].isEmpty()) {
            err << "kelm-admin: --config needs a path\n" << Usage;
            return 2;
        }
        configPath = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty() || args[0].startsWith(u'-')) {
        if (!args.isEmpty())
            err << "kelm-admin: unknown option " << args[0] << "\n";
        err << Usage;
        return 2;
    }
    const QString command = args.takeFirst();
    const bool replace = (command == u"configure" && args.removeAll(QStringLiteral("--force")) > 0)
        || (command == u"copy" && args.removeAll(QStringLiteral("--replace")) > 0);
    const bool known = (command == u"configure" && !args.isEmpty())
        || ((command == u"init" || command == u"check" || command == u"upgrade" || command == u"demo")
            && args.isEmpty())
        || (command == u"audit" && args.size() <= 1) || command == u"card"
        || (command == u"export" && args.size() == 2 && kelm::TransferCommands::isExportTable(args[0]))
        || (command == u"import" && args.size() == 2 && args[0] == u"members")
        || (command == u"backup" && args.size() == 1)
        || (command == u"copy" && args.size() == 2 && args[0] == u"--to" && !args[1].isEmpty());
    if (!known) {
        err << Usage;
        return 2;
    }
    if (configPath.isEmpty()) {
        const QString library = kelm::installedLibraryFolder();
        try {
            configPath = kelm::Settings::locate(library);
        } catch (const kelm::Error& failure) {
            // A new config.ini may be written where none is yet; every other command needs one.
            if (command != u"configure") {
                err << QString::fromUtf8(failure.what()) << "\n";
                return 1;
            }
            configPath = kelm::Settings::candidates(library).constFirst();
        }
    }
    if (command == u"configure")
        return kelm::AdminCommands::configure(configPath, args, replace, out, err);
    if (command == u"init")
        return kelm::AdminCommands::init(configPath, out, err);
    if (command == u"check")
        return kelm::AdminCommands::check(configPath, out, err);
    if (command == u"upgrade")
        return kelm::AdminCommands::upgrade(configPath, out, err);
    if (command == u"audit")
        return kelm::AdminCommands::audit(configPath, args.value(0), out, err);
    if (command == u"demo")
        return kelm::AdminCommands::demo(configPath, out, err);
    if (command == u"export")
        return kelm::TransferCommands::exportTable(configPath, args[0], args[1], out, err);
    if (command == u"import")
        return kelm::TransferCommands::importMembers(configPath, args[1], out, err);
    if (command == u"backup")
        return kelm::TransferCommands::backup(configPath, args[0], out, err);
    if (command == u"copy")
        return kelm::TransferCommands::copy(configPath, args[1], replace, out, err);
    return kelm::runCardCommand(args, kelm::Settings::load(configPath).cardsPath(), out, err);
}
