#include "SafeFileName.h"

#include "SafeFiles.h"

#include <QRegularExpression>

namespace {
const int MaxNameBytes = 200;
const QString Fallback = QStringLiteral("download");
const QString Unsafe = QStringLiteral("/\\:*?\"<>|");
const QRegularExpression ReservedName(QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])$"),
                                      QRegularExpression::CaseInsensitiveOption);

QString withoutUnsafeCharacters(const QString& proposed)
{
    QString name;
    for (const QChar c : proposed) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) {
            continue;
        }
        name += Unsafe.contains(c) ? QChar(QLatin1Char('_')) : c;
    }
    // Windows drops trailing dots and spaces; a leading dot would hide the file, or make it "..".
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' '))) {
        name.chop(1);
    }
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' '))) {
        name.remove(0, 1);
    }
    return name;
}

// Base and extension, the extension with its dot.
QPair<QString, QString> split(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0) {
        return {name, QString()};
    }
    return {name.left(dot), name.mid(dot)};
}

QString bounded(const QString& name)
{
    if (name.toUtf8().size() <= MaxNameBytes) {
        return name;
    }
    auto [base, extension] = split(name);
    if (extension.toUtf8().size() > MaxNameBytes / 2) {
        extension.clear();
    }
    while (!base.isEmpty() && (base + extension).toUtf8().size() > MaxNameBytes) {
        base.chop(1);
    }
    return base + extension;
}
} // namespace

namespace SafeFileName {
const QString PartSuffix = QStringLiteral(".part");

QString sanitize(const QString& proposed)
{
    QString name = withoutUnsafeCharacters(proposed);
    if (name.isEmpty()) {
        return Fallback;
    }
    auto [base, extension] = split(name);
    if (ReservedName.match(base.trimmed()).hasMatch()) {
        name = base + QLatin1Char('_') + extension;
    }
    return bounded(name);
}

QString unusedPath(const QString& folder, const QString& name)
{
    const auto [base, extension] = split(name);
    QString candidate = name;
    for (int number = 1;; ++number) {
        const QString path = folder + QLatin1Char('/') + candidate;
        // A dangling link is taken too: writing to its name would write where it points.
        if (!SafeFiles::isTaken(path) && !SafeFiles::isTaken(path + PartSuffix)) {
            return path;
        }
        candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(number).arg(extension);
    }
}
} // namespace SafeFileName
