#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>

class SettingsStore;

// The shop's own texts on the POS receipt and the order document, plus the
// company name, as the receipt settings window edits them and the settings
// store keeps them.
struct ReceiptTexts
{
    QString receiptTitle;    // "pos1"
    QString receiptSlogan1;  // "pos2"
    QString receiptSlogan2;  // "pos3"
    QString receiptClosing;  // "pos4"
    QString documentHeader;  // "dan1"
    QString documentContact; // "dan2"
    QString documentSlogan1; // "dan3"; empty leaves the slogan band off the document
    QString documentSlogan2; // "dan4"
    QString company;         // "company"; stored only

    // The value names in the order they are saved.
    static QList<QLatin1String> keys();

    // The texts of a shop that never saved its own.
    static ReceiptTexts defaults();

    // The stored texts when a receipt title is stored; otherwise the
    // defaults, whatever else is stored (an emptied title resets them all).
    // A stored value that is missing reads as empty.
    static ReceiptTexts load(const SettingsStore &store);
    // Writes all nine values in order. False when one could not be stored.
    bool save(SettingsStore &store) const;

    QString value(QLatin1String key) const;
    void setValue(QLatin1String key, const QString &text);

    friend bool operator==(const ReceiptTexts &, const ReceiptTexts &) = default;
};
