// bench-scale: what the saved servers cost the client with N of them saved. It times
// reading the server list, the start-up population (a row and a menu entry per server),
// one language switch, one server added and that server deleted again, and writes each
// as "<step>_us <microseconds>". One sample per run: scripts/bench runs it again and again
// and takes medians. It writes the list into the data folder, so run it with a throwaway
// profile.
//
//     bench-scale N
#include "ShellUnderTest.h"
#include "Timing.h"
#include "app/CMainWindow.h"
#include "config/ServerConfigFile.h"
#include "config/SettingsFile.h"
#include "login/CLoginUI.h"
#include "login/ItemWidgetFile.h"

#include <QApplication>
#include <QListWidget>
#include <QTextStream>

namespace {
const QString AddedName = QStringLiteral("Added");
const QString AddedUrl = QStringLiteral("https://added.example.com");

// The first one is the default, as on a machine that connects on its own.
QVector<ServerEntry> savedServers(int count)
{
    QVector<ServerEntry> servers;
    for (int index = 0; index < count; ++index) {
        const QString number = QString::number(index);
        servers.append({QStringLiteral("Server ") + number,
                        QStringLiteral("https://server") + number + QStringLiteral(".example.com:8443"),
                        index == 0});
    }
    return servers;
}

ItemWidgetFile* lastRow(const CLoginUI* login)
{
    const QListWidget* list = login->listWidget;
    return qobject_cast<ItemWidgetFile*>(list->itemWidget(list->item(list->count() - 1)));
}

// The start-up population is the layout step: menus, splitter, and a row and an entry per server.
void timePopulation(const char* step, const std::function<void()>& run)
{
    if (qstrcmp(step, "layout") == 0) {
        Timing::report(QStringLiteral("populate_us"), Timing::microseconds(run));
    } else {
        run();
    }
}

void timeSteps(ShellUnderTest& shell)
{
    Timing::settle();
    const int other = shell.otherLanguage();
    Timing::report(QStringLiteral("switch_us"),
                   Timing::microseconds([&shell, other] { shell.window()->slot_switch_language(other); }));
    Timing::report(QStringLiteral("add_us"),
                   Timing::microseconds([&shell] { shell.login()->addServer(AddedName, AddedUrl); }));
    ItemWidgetFile* added = lastRow(shell.login());
    // Its delete button's slot: the row takes its server out of the list, the file and the menu.
    Timing::report(QStringLiteral("delete_us"), Timing::microseconds([added] { added->slot_buttonDelete(); }));
}
} // namespace

int main(int argc, char** argv)
{
    ShellUnderTest::prepareProcess();
    QApplication app(argc, argv);
    ShellUnderTest::configureApplication();
    bool isNumber = false;
    const int count = QCoreApplication::arguments().value(1).toInt(&isNumber);
    if (!isNumber || count < 0) {
        QTextStream(stderr) << "usage: bench-scale NUMBER_OF_SERVERS" << Qt::endl;
        return 2;
    }
    // Every run starts from the same state: N servers and the default settings.
    SettingsFile::write(Settings());
    if (!ServerConfigFile().write(savedServers(count))) {
        QTextStream(stderr) << "bench-scale: cannot write the server list" << Qt::endl;
        return 1;
    }
    Timing::report(QStringLiteral("read_us"), Timing::microseconds([] {
                       QVector<ServerEntry> servers;
                       ServerConfigFile().read(servers);
                   }));
    ShellUnderTest shell(timePopulation);
    timeSteps(shell);
    return 0;
}
