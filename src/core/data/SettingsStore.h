#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

// The operator's preferences and running counters, kept outside the database
// as string values per user.
//
// Where they live: QSettings("Velmora", "jxc") in the native format, that is
// HKEY_CURRENT_USER\Software\Velmora\jxc on Windows and
// ~/.config/Velmora/jxc.conf on Linux. Tests and portable set-ups name a file
// instead; such a file is always INI-formatted (on Linux that is exactly what
// the native format writes anyway).
//
// Every value is written as a string at the moment it changes and synced at
// once, so a crash never loses a change that was made before it. Reads never
// create the key or the file: a shop that never changed a preference has
// nothing on disk, and every reader then falls back to its default. The store
// is best effort: a key that cannot be read reads as absent, and a write that
// fails is reported only through the return value.
//
// Each call opens the settings afresh, so a value written by another store
// object (or another program instance) is seen by the next read.
class SettingsStore
{
public:
    // The value names. Boolean preferences hold "yes" or "no".
    struct Keys
    {
        static constexpr QLatin1String Skin{"skin"};
        static constexpr QLatin1String AlarmQuantity{"number"};
        static constexpr QLatin1String ZeroStock{"n0"};
        static constexpr QLatin1String OrderCounter{"danhao"};
        static constexpr QLatin1String LastSaleDate{"riqi"};
        static constexpr QLatin1String Company{"company"};
        static constexpr QLatin1String Address{"address"};

        // Texts printed on the POS receipt and on the order document.
        static constexpr QLatin1String ReceiptTitle{"pos1"};
        static constexpr QLatin1String ReceiptSlogan1{"pos2"};
        static constexpr QLatin1String ReceiptSlogan2{"pos3"};
        static constexpr QLatin1String ReceiptClosing{"pos4"};
        static constexpr QLatin1String DocumentHeader{"dan1"};
        static constexpr QLatin1String DocumentContact{"dan2"};
        static constexpr QLatin1String DocumentSlogan1{"dan3"};
        static constexpr QLatin1String DocumentSlogan2{"dan4"};

        static constexpr QLatin1String BackupPath{"save"};
        // "yes": the Excel import fills empty pinyin initials.
        static constexpr QLatin1String ImportFillInitials{"daorupy"};
        // Automatic backups on close: "yes"/"no", and how many are kept.
        static constexpr QLatin1String AutoBackup{"zidongbeifen"};
        static constexpr QLatin1String AutoBackupCount{"beifenshu"};

        // Stock list columns: "yes" hides the column.
        static constexpr QLatin1String HideStockPurchasePrice{"rukuyin1"};
        static constexpr QLatin1String HideStockAmounts{"rukuyin2"}; // purchase, sales and stock amount
        static constexpr QLatin1String HideStockInDate{"rukuyin3"};
        static constexpr QLatin1String HideStockSupplier{"rukuyin4"};
        static constexpr QLatin1String HideStockRemark{"rukuyin5"};
        static constexpr QLatin1String HideStockSalePrice{"rukuyin6"};

        // Sales-detail columns: "yes" hides the column, except for the order
        // number, where "yes" shows it.
        static constexpr QLatin1String HideSalesUnitPrice{"xiaoshouyin1"};
        static constexpr QLatin1String HideSalesDate{"xiaoshouyin2"};
        static constexpr QLatin1String HideSalesDebt{"xiaoshouyin3"};
        static constexpr QLatin1String HideSalesProfit{"xiaoshouyin4"};
        static constexpr QLatin1String HideSalesCustomer{"xiaoshouyin5"}; // all four customer columns
        static constexpr QLatin1String ShowSalesOrderNumber{"xiaoshouyin6"};
        static constexpr QLatin1String HideSalesCustomerName{"xiaoshouyin7"};
        static constexpr QLatin1String HideSalesCustomerContact{"xiaoshouyin8"};
        static constexpr QLatin1String HideSalesCustomerAddress{"xiaoshouyin9"};
        static constexpr QLatin1String HideSalesCustomerRemark{"xiaoshouyin10"};
    };

    // The main window's skin store has this many skins (indices 0 to 4).
    static constexpr int SkinCount = 5;
    // The alarm box's initial text, used while "number" was never written.
    static constexpr QLatin1String DefaultAlarmQuantity{"5"};

    // The per-user store of this program.
    SettingsStore();
    // A store in the given INI file (tests, portable installs).
    explicit SettingsStore(const QString &filePath);
    ~SettingsStore();

    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The file, or the registry path on Windows; for messages and the log.
    QString location() const;

    // True once anything has been written for this user. Start-up applies
    // the stored preferences only when this is true.
    bool keyExists() const;

    // An absent value, or a store that does not exist, reads as "".
    QString value(const QString &name) const;
    // Creates the key (and file) when needed and writes at once. False when
    // the value could not be stored.
    bool setValue(const QString &name, const QString &value);

    // "0" to "5"; anything else means: keep the built-in skin. "5" is
    // accepted, as it always was, but is no index into the skin store
    // (indices 0 to SkinCount - 1), so it leaves the built-in skin as well;
    // callers must check against SkinCount before loading.
    std::optional<int> skinIndex() const;
    bool setSkinIndex(int index);

    // The stock alarm quantity as the alarm box shows it; "5" when absent.
    QString alarmQuantity() const;
    // An emptied alarm box stands for no alarm and is stored as "0".
    bool setAlarmQuantity(const QString &quantity);

    // true: the stock list hides rows with no stock ("n0" = "no");
    // false: it lists all rows ("yes"); nullopt: never chosen, the list
    // keeps its design query with all rows.
    std::optional<bool> hideZeroStock() const;
    bool setHideZeroStock(bool hide);

    // The order counter for the first sale after start-up: the stored
    // counter plus one. 1 when nothing (or nothing usable: not a whole
    // number, negative, or so large that one more would overflow) is stored.
    qint64 nextOrderCounter() const;
    // Stored after every saved sale.
    bool setOrderCounter(qint64 counter);

    // The sale date ("yyyy-mm-dd") when the main window last closed; "" when
    // absent. A different date today restarts the order counter at 1.
    QString lastSaleDate() const;
    bool setLastSaleDate(const QString &date);

    QString company() const { return value(Keys::Company); }
    bool setCompany(const QString &company) { return setValue(Keys::Company, company); }
    QString address() const { return value(Keys::Address); }
    bool setAddress(const QString &address) { return setValue(Keys::Address, address); }

    // Where the backup window proposes to copy the database. When nothing
    // (or "") is stored: "D:\beifen.mdb" on Windows, a second drive away from
    // the program; elsewhere beifen.mdb in the user's documents folder.
    QString backupPath() const;
    bool setBackupPath(const QString &path);
    static QString defaultBackupPath();

    // Whether a flagged grid column is hidden: true or false when the flag
    // holds "yes" or "no", nullopt for any other text (including absent),
    // which means the grid and its menu check mark keep their design state.
    // For ShowSalesOrderNumber the stored sense is inverted ("yes" shows the
    // column); this function still answers "is it hidden".
    std::optional<bool> columnHidden(const QString &flag) const;
    // Writes "yes" or "no" in the flag's own sense.
    bool setColumnHidden(const QString &flag, bool hidden);

    // The sales-detail order number column ("显示客户编号"): shown only when
    // the flag says "yes"; by design it is hidden.
    bool orderNumberColumnShown() const;
    bool setOrderNumberColumnShown(bool shown);

    // The flags whose "yes" hides columns of the stock list and of the
    // sales-detail list (the latter without ShowSalesOrderNumber).
    static QList<QLatin1String> stockColumnFlags();
    static QList<QLatin1String> salesColumnFlags();

private:
    // nullptr when reading and nothing exists yet, so a read cannot create
    // the key.
    std::unique_ptr<QSettings> open(bool forWriting) const;

    QString m_filePath; // empty: the per-user store
};
