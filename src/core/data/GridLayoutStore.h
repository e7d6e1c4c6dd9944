#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>

// One column of a saved grid layout.
struct ColumnLayout
{
    // Sort marker values.
    static constexpr int NoSort = 0;
    static constexpr int Ascending = 1;
    static constexpr int Descending = 2;

    QString field;    // the column's field code: "7", "a5", "day1" ...
    int position = 0; // visual index, 0 = leftmost
    int width = 0;    // in pixels
    bool visible = true;
    int sortMarker = NoSort; // NoSort, Ascending or Descending

    friend bool operator==(const ColumnLayout &, const ColumnLayout &) = default;
};

// Saves and restores the column layouts of the stock list and the
// sales-detail list in the INI file lwjxc.ini, one section per grid.
//
// The file lives in the per-user configuration folder of the program
// (QStandardPaths::AppConfigLocation for organisation "Velmora" and
// application "jxc": ~/.config/Velmora/jxc/lwjxc.ini on Linux,
// %LOCALAPPDATA%\Velmora\jxc\lwjxc.ini on Windows), or at a given path.
//
// Inside a section each column is a group named after its field, holding
// Position, Width, Visible and Sort. Saving overwrites the keys of the saved
// columns and leaves every other key of the section alone, so a grid that
// saves fewer columns than before keeps the layout of the others. Field names
// are percent-encoded in the file, so any field name round-trips.
//
// The store is best effort: a missing or unreadable file or section restores
// nothing and the grid keeps its design layout.
class GridLayoutStore
{
public:
    static constexpr QLatin1String StockListSection{"qmzrtk.vdx"};
    static constexpr QLatin1String SalesDetailSection{"qmzrtk.vdx2"};

    // The per-user lwjxc.ini.
    GridLayoutStore();
    explicit GridLayoutStore(const QString &filePath);

    QString filePath() const { return m_filePath; }
    static QString defaultFilePath();

    // Writes at once; false when the file could not be written. Columns with
    // an empty field name are skipped: there is no group to keep them in.
    bool save(const QString &section, const QList<ColumnLayout> &columns);

    // The saved columns ordered by position. Columns whose position or width
    // is missing or not a number are left out (the grid keeps their design
    // layout); a missing visibility means visible, an unknown sort marker
    // means none.
    QList<ColumnLayout> restore(const QString &section) const;

private:
    QString m_filePath;
};
