#ifndef TESTENVIRONMENT_H
#define TESTENVIRONMENT_H

#include "app/ApplicationAttributes.h"

#include <QString>
#include <QtTest>

// Points HOME and the XDG folders at a temporary folder that lives as long as the
// process, so no test ever reads or writes a real user's files. Child processes
// started by a test inherit the same folders.
namespace TestEnvironment {
void isolateUserFolders();
QString homeFolder();
// Folder holding the client and the other programs the build makes.
QString binFolder();
QString clientPath();
// The client's data folder and settings file, where a client started now finds them.
QString clientDataFolder();
QString clientSettingsPath();
// Stores minimise-to-tray for the next client started.
void storeClientMiniTray(bool on);
// Saves url as the only server of the next client started; as its default, that client
// connects it by itself.
bool storeClientServer(const QString& url, bool isDefault);
// The file's inode number, 0 when it is missing. Files written whole through a temporary
// copy get a new one at each write, so an unchanged number tells that a file was left alone.
quint64 inodeOf(const QString& path);
// The permission bits of a file or folder (0644 and the like), -1 when it is missing.
int modeOf(const QString& path);
} // namespace TestEnvironment

// Like QTEST_MAIN, with the attributes the client sets before its application exists.
#define NORV_TEST_MAIN(TestClass)                                                                                      \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        TestEnvironment::isolateUserFolders();                                                                         \
        ApplicationAttributes::apply();                                                                                \
        QApplication app(argc, argv);                                                                                  \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

#endif // TESTENVIRONMENT_H
