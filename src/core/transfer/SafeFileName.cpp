#include "SafeFileName.h"

#include "SafeFiles.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

namespace {
const int MaxNameBytes = 200;
const QString Fallback = QStringLiteral("download");
const QString Unsafe = QStringLiteral("/\\:*?\"<>|");
const QRegularExpression ReservedName(QStringLiteral("^(con|prn|aux|nul|com[1-9]|lpt[1-9])$"),
                                      QRegularExpression::CaseInsensitiveOption);

// Characters that would break a line, hide, or reorder what the user reads.
bool isInvisible(uint codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// Windows drops trailing dots and spaces; a leading dot would hide the file, or make it "..".
QString withoutEdgeDotsAndSpaces(QString name)
{
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' '))) {
        name.chop(1);
    }
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' '))) {
        name.remove(0, 1);
    }
    return name;
}

// Whole code points: a lone surrogate arrives as U+FFFD and is kept as such.
QString withoutUnsafeCharacters(const QString& proposed)
{
    QVector<uint> kept;
    for (const uint codePoint : proposed.toUcs4()) {
        if (isInvisible(codePoint)) {
            continue;
        }
        const bool unsafe = codePoint < 0x80 && Unsafe.contains(QLatin1Char(char(codePoint)));
        kept.append(unsafe ? uint('_') : codePoint);
    }
    return withoutEdgeDotsAndSpaces(QString::fromUcs4(kept.constData(), kept.size()));
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

// The longest start of text that fits in bytes of UTF-8, cut between characters as the user
// sees them, so that no half character (a lone surrogate) or stray accent reaches the disk.
QString leadingCharacters(const QString& text, int bytes)
{
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    int fits = 0;
    int used = 0;
    for (int end = boundaries.toNextBoundary(); end > 0; end = boundaries.toNextBoundary()) {
        // Qt 5.15's finder can put one inside a surrogate pair (emoji after U+17D8): never cut there.
        if (end < text.size() && text.at(end).isLowSurrogate() && text.at(end - 1).isHighSurrogate()) {
            continue;
        }
        used += text.midRef(fits, end - fits).toUtf8().size();
        if (used > bytes) {
            break;
        }
        fits = end;
    }
    return text.left(fits);
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
    return leadingCharacters(base, MaxNameBytes - extension.toUtf8().size()) + extension;
}
} // namespace

namespace SafeFileName {
const QString PartSuffix = QStringLiteral(".part");

QString sanitize(const QString& proposed)
{
    // Shortened first, so that a cut never leaves a reserved name or a trailing dot behind.
    QString name = withoutEdgeDotsAndSpaces(bounded(withoutUnsafeCharacters(proposed)));
    const auto [base, extension] = split(name);
    if (ReservedName.match(base.trimmed()).hasMatch()) {
        name = bounded(base.trimmed() + QLatin1Char('_') + extension);
    }
    return name.isEmpty() ? Fallback : name;
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
