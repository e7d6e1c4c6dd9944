#include "GridLayoutStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {

const QString PositionKey = QStringLiteral("Position");
const QString WidthKey = QStringLiteral("Width");
const QString VisibleKey = QStringLiteral("Visible");
const QString SortKey = QStringLiteral("Sort");

// QSettings reads "/" and "\" in a key as group separators; encoding the
// field keeps every field name a single group.
QString groupName(const QString &field)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(field));
}

QString fieldName(const QString &group)
{
    return QUrl::fromPercentEncoding(group.toLatin1());
}

std::optional<int> readInt(const QSettings &settings, const QString &key)
{
    bool ok = false;
    const int number = settings.value(key).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

} // namespace

GridLayoutStore::GridLayoutStore() : m_filePath(defaultFilePath()) {}

GridLayoutStore::GridLayoutStore(const QString &filePath) : m_filePath(filePath) {}

QString GridLayoutStore::defaultFilePath()
{
    // AppConfigLocation spelled out for this program, so the file is found
    // even before (or without) the application's names being set.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(base).filePath(QStringLiteral("Velmora/jxc/lwjxc.ini"));
}

bool GridLayoutStore::save(const QString &section, const QList<ColumnLayout> &columns)
{
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.beginGroup(section);
    for (const ColumnLayout &column : columns) {
        if (column.field.isEmpty())
            continue;
        settings.beginGroup(groupName(column.field));
        settings.setValue(PositionKey, column.position);
        settings.setValue(WidthKey, column.width);
        settings.setValue(VisibleKey, column.visible);
        settings.setValue(SortKey, column.sortMarker);
        settings.endGroup();
    }
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QList<ColumnLayout> GridLayoutStore::restore(const QString &section) const
{
    QList<ColumnLayout> columns;
    if (!QFileInfo(m_filePath).isFile())
        return columns;
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.beginGroup(section);
    const QStringList groups = settings.childGroups();
    for (const QString &group : groups) {
        settings.beginGroup(group);
        const std::optional<int> position = readInt(settings, PositionKey);
        const std::optional<int> width = readInt(settings, WidthKey);
        if (position && width && *position >= 0 && *width >= 0) {
            ColumnLayout column;
            column.field = fieldName(group);
            column.position = *position;
            column.width = *width;
            column.visible = settings.value(VisibleKey, true).toBool();
            const std::optional<int> sort = readInt(settings, SortKey);
            if (sort && (*sort == ColumnLayout::Ascending || *sort == ColumnLayout::Descending))
                column.sortMarker = *sort;
            columns.append(column);
        }
        settings.endGroup();
    }
    std::stable_sort(columns.begin(), columns.end(),
                     [](const ColumnLayout &a, const ColumnLayout &b) { return a.position < b.position; });
    return columns;
}
