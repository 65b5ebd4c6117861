#include "FileManager.h"

#include <QProcess>

namespace FileManager {
void showFile(const QString& path)
{
    QString nativePath = path;
    nativePath.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QProcess::startDetached(QStringLiteral("explorer.exe /select,") + nativePath);
}
} // namespace FileManager
