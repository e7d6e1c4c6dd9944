#pragma once

#include "DemoShopGenerator.h"

#include <QString>
#include <QStringList>

// The command line of lwjxc-datagen: what to generate and where to put it.
struct DemoShopCommandLine
{
    DemoShopOptions options;
    QString out; // a SQLite file path or a postgresql:// address
    bool force = false;
    bool helpRequested = false;
    QString errorText; // set when the arguments cannot be used

    bool isValid() const { return errorText.isEmpty(); }

    // `arguments` as QCoreApplication::arguments() gives them, program first.
    static DemoShopCommandLine parse(const QStringList &arguments);
    static QString usage();

    // Limits that keep the in-memory plan within a few gigabytes.
    static constexpr qint64 kMaxStockRows = 5'000'000;
    static constexpr qint64 kMaxSaleLines = 50'000'000;
    static constexpr int kMaxYears = 30;
};
