#pragma once

#include <QList>
#include <QString>

// One column of a data grid as the window designs it: which field it shows,
// its two title lines, how its cells and its footer cell look.
struct DataGridColumn
{
    enum class Footer { None, Text, Sum };

    QString field;      // the list's field: "a", "7", "day1", "进货数量"
    QString upperTitle; // equal adjacent upper titles share one title cell
    QString lowerTitle;
    Qt::Alignment alignment = Qt::AlignLeft;
    // "#0.###", "#0.##" ...; empty shows numbers in the general form.
    QString pattern;
    Footer footer = Footer::None;
    QString footerText; // shown when footer is Footer::Text ("总计")
    Qt::Alignment footerAlignment = Qt::AlignRight;
    int width = 80;      // design width; fitting keeps the proportions
    bool visible = true; // at design
    // A money column: its footer sum is rounded to the cent, so a sale and
    // its return total 0 rather than a floating-point leftover.
    bool money = false;
};
