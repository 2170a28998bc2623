#include "file_filters.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

namespace app {

QString ToQtFilter(const QString& barSeparated) {
    const QStringList parts = barSeparated.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        if (name.isEmpty()) continue;
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString p = pattern.trimmed();
            if (p.isEmpty()) continue;
            patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
        }
        entries << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
    }
    return entries.join(QStringLiteral(";;"));
}

QString FileFilter(const char* barSeparated) {
    return ToQtFilter(QCoreApplication::translate("app::FileFilters", barSeparated));
}

QString SuffixOfFilter(const QString& qtFilterEntry) {
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.([A-Za-z0-9]+)\\)$"));
    const QRegularExpressionMatch match = single.match(qtFilterEntry.trimmed());
    return match.hasMatch() ? match.captured(1) : QString();
}

QString FilterMatchingName(const QString& qtFilter, const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || fileName.indexOf(QLatin1Char('/'), dot) >= 0) return QString();
    const QString pattern = QStringLiteral("*") + fileName.mid(dot);
    static const QRegularExpression patterns(QStringLiteral("\\(([^)]*)\\)\\s*$"));
    for (const QString& entry : qtFilter.split(QStringLiteral(";;"), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = patterns.match(entry);
        if (!match.hasMatch()) continue;
        for (const QString& p : match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (p.compare(pattern, Qt::CaseInsensitive) == 0) return entry;
    }
    return QString();
}

}  // namespace app
