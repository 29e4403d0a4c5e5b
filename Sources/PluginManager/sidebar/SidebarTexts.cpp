#include "sidebar/SidebarTexts.h"

#include <QStringList>

#include <algorithm>

namespace {

QStringList sortedFormatNames(const QSet<PluginFormat>& formats)
{
    QStringList names;
    for (PluginFormat format : formats)
        names << PluginFormats::rawValue(format);
    std::sort(names.begin(), names.end());
    return names;
}

QStringList sortedNames(const QSet<QString>& names)
{
    QStringList list(names.begin(), names.end());
    std::sort(list.begin(), list.end());
    return list;
}

bool isTrimmable(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

/// What the filtered messages name after "filtered by: ".
QString scopeDescription(const SidebarTexts::ActionScope& scope)
{
    QStringList parts;
    if (!scope.formats.isEmpty())
        parts << sortedFormatNames(scope.formats).join(QStringLiteral(", "));
    if (!scope.manufacturers.isEmpty())
        parts << sortedNames(scope.manufacturers).join(QStringLiteral(", "));
    if (!scope.searchText.isEmpty())
        parts << QStringLiteral("search \"%1\"").arg(scope.searchText);
    return parts.join(QStringLiteral(" + "));
}

} // namespace

namespace SidebarTexts {

QString filterSummary(const QSet<PluginFormat>& formats, const QSet<QString>& manufacturers)
{
    QStringList segments;
    if (!formats.isEmpty())
        segments << sortedFormatNames(formats).join(QStringLiteral(", "));
    if (!manufacturers.isEmpty()) {
        const QStringList names = sortedNames(manufacturers);
        if (names.size() <= 2)
            segments << names.join(QStringLiteral(", "));
        else
            segments << names.first() + QStringLiteral(" +") + QString::number(names.size() - 1) +
                            QStringLiteral(" more");
    }
    return segments.join(QStringLiteral(" · "));
}

QString actionVerb(BulkAction action)
{
    switch (action) {
    case BulkAction::enable:
        return QStringLiteral("Enable");
    case BulkAction::disable:
        return QStringLiteral("Disable");
    case BulkAction::delete_:
        return QStringLiteral("Delete");
    }
    return QStringLiteral("Disable");
}

QString actionLabel(BulkAction action, const ActionScope& scope)
{
    const QString verb = actionVerb(action);
    if (scope.isFiltered()) {
        if (scope.formats.size() == 1 && scope.manufacturers.isEmpty() && scope.searchText.isEmpty())
            return verb + QStringLiteral(" All ") + PluginFormats::rawValue(*scope.formats.cbegin());
        return verb + QStringLiteral(" Filtered");
    }
    return verb + QStringLiteral(" All");
}

QString actionTitle(BulkAction action, const ActionScope& scope)
{
    return actionLabel(action, scope) + QStringLiteral(" Plugins?");
}

QString actionMessage(BulkAction action, qint64 count, const ActionScope& scope)
{
    const QString n = QString::number(count);
    if (action == BulkAction::delete_) {
        if (!scope.isFiltered())
            return QStringLiteral("⚠️ This will PERMANENTLY DELETE ") + n +
                   QStringLiteral(" plugins from your system. This cannot be undone!");
        return QStringLiteral("⚠️ This will PERMANENTLY DELETE ") + n + QStringLiteral(" plugins filtered by: ") +
               scopeDescription(scope) + QStringLiteral(". This cannot be undone!");
    }
    const bool enable = action == BulkAction::enable;
    const QString verb = enable ? QStringLiteral("enable") : QStringLiteral("disable");
    if (!scope.isFiltered()) {
        const QString state = enable ? QStringLiteral("disabled") : QStringLiteral("enabled");
        return QStringLiteral("This will ") + verb + QStringLiteral(" ALL ") + n + u' ' + state +
               QStringLiteral(" plugins across every format and manufacturer, regardless of any active filters.");
    }
    return QStringLiteral("This will ") + verb + u' ' + n + QStringLiteral(" plugins filtered by: ") +
           scopeDescription(scope) + u'.';
}

QString changeSummary(qint64 changes)
{
    if (changes < 1)
        return QStringLiteral("Up to date");
    return QString::number(changes) + QStringLiteral(" change") + (changes == 1 ? QString() : QStringLiteral("s")) +
           QStringLiteral(" to apply");
}

QString singleLine(const QString& text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : line) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return line;
}

QString trimmedName(const QString& name)
{
    qsizetype start = 0;
    qsizetype end = name.size();
    while (start < end && isTrimmable(name.at(start)))
        ++start;
    while (end > start && isTrimmable(name.at(end - 1)))
        --end;
    return name.mid(start, end - start);
}

QString exportFileName(const QString& profileName)
{
    const QString trimmed = trimmedName(profileName);
    QString name;
    name.reserve(trimmed.size() + 5);
    for (QChar c : trimmed) {
        if (c == u'/' || c == QChar(0) || c.category() == QChar::Other_Control)
            name += u'-';
        else
            name += c;
    }
    name = trimmedName(name);
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        name = QStringLiteral("profile");
    if (!name.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
        name += QStringLiteral(".json");
    return name;
}

bool manufacturerMatches(const QString& name, const QString& filter)
{
    return filter.isEmpty() || name.contains(filter, Qt::CaseInsensitive);
}

} // namespace SidebarTexts
