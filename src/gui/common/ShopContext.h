#pragma once

#include "maintenance/ReceiptTexts.h"
#include "shell/Session.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class Database;
class QLineEdit;
class QTimer;
class SettingsStore;

// What the windows of one run share: the database and settings, the signed-in
// session, the date format and today's date boxes, the order counter, the
// receipt texts and the stored column flags. The main window owns it and hands
// it to every window it makes; a window asks the main window for something
// (list all records, a success notice) through its signals.
class ShopContext : public QObject
{
    Q_OBJECT
public:
    ShopContext(Database &db, SettingsStore &settings, QObject *parent = nullptr);

    // Dates are shown and typed in this form everywhere in the program.
    static QString dateFormat() { return QStringLiteral("yyyy-MM-dd"); }
    // Today (from the clock) in that form.
    static QString todayText();
    // How often empty date boxes are refilled.
    static constexpr int DateGuardMilliseconds = 500;

    Database &database() const { return m_db; }
    SettingsStore &settings() const { return m_settings; }

    const Session &session() const { return m_session; }
    void setSession(const Session &session) { m_session = session; }
    // The session row was written once the file check had passed.
    void setSessionId(qint64 id) { m_session.id = id; }
    bool isRestricted() const { return m_restricted; }
    // Switches the restricted mode on; windows and lists hide their parts.
    void applyRestrictedMode();

    // Reads the order counter, the last sale date, company and address and
    // the stored sales-detail column flags (at the first show).
    void loadStoredValues();

    // The order counter of the sale panel and the sale date of the last run.
    qint64 orderCounter() const { return m_orderCounter; }
    void setOrderCounter(qint64 counter) { m_orderCounter = counter; }
    QString lastSaleDate() const { return m_lastSaleDate; }
    // The sale panel moves it on when the order counter restarts for a new date.
    void setLastSaleDate(const QString &date) { m_lastSaleDate = date; }
    QString company() const { return m_company; }
    QString address() const { return m_address; }

    // The stored hiding of a sales-detail column, read at the first show:
    // nullopt when the flag held neither "yes" nor "no". For "xiaoshouyin6"
    // the answer is "is hidden" as well.
    std::optional<bool> storedSalesColumnHidden(const QString &flag) const;

    // The receipt and order document texts as the receipt settings show them
    // now (an edited text prints even before it is saved).
    ReceiptTexts receiptTexts() const;
    void setReceiptTextsSource(std::function<ReceiptTexts()> source) { m_receiptTexts = std::move(source); }

    // Date boxes (masked "yyyy-MM-dd") that must never stay empty: the date
    // guard puts today back into a registered box that shows the empty mask.
    void registerDateBox(QLineEdit *box);
    // The sale date box: registered as above, stored as "riqi" on close and
    // made read-only in the restricted mode.
    void registerSaleDateBox(QLineEdit *box);
    // The sale date as the close stores it: the sale date box, or today while
    // there is no such box.
    QString saleDateText() const;
    // Puts today into every registered box (the first show).
    void fillDateBoxes();

    // What a window asks of the main window.
    void requestAllRecords() { emit allRecordsRequested(); }
    void showSuccessNotice(const QString &text) { emit successNoticeRequested(text); }

signals:
    void restrictedModeApplied();
    // "全部记录" after a change the stock list must show.
    void allRecordsRequested();
    void successNoticeRequested(const QString &text);

private:
    void checkDateBoxes();

    Database &m_db;
    SettingsStore &m_settings;
    Session m_session;
    bool m_restricted = false;
    qint64 m_orderCounter = 1;
    QString m_lastSaleDate;
    QString m_company;
    QString m_address;
    QHash<QString, bool> m_salesColumnHidden;
    std::function<ReceiptTexts()> m_receiptTexts;
    QTimer *m_dateGuard = nullptr;
    QList<QPointer<QLineEdit>> m_dateBoxes;
    QPointer<QLineEdit> m_saleDateBox;
};
