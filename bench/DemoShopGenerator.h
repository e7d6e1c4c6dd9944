#pragma once

#include <QDate>
#include <QString>

#include <functional>
#include <memory>

class Database;
struct DatabaseLocation;

// What shop to invent: how many stock records and sale lines, over how many
// years up to which day, from which seed (the same seed gives the same shop).
struct DemoShopOptions
{
    qint64 stockRows = 0;
    qint64 saleLines = 0;
    quint64 seed = 1;
    int years = 3;
    QDate today; // invalid: the program clock's today
};

// What the generator wrote.
struct DemoShopSummary
{
    qint64 stockRows = 0;
    qint64 saleLines = 0;
    qint64 orders = 0;
    qint64 returnLines = 0;
    qint64 soldOutRows = 0;
    qint64 articles = 0;
};

// Invents a plausible luggage and bag shop (articles, deliveries, tickets,
// returns) and writes it into a shop database, keeping stock and sales in
// agreement exactly as counter sales would have left them.
class DemoShopGenerator
{
public:
    // stage: a short Chinese description; done of total units of that stage.
    using Progress = std::function<void(const QString &stage, qint64 done, qint64 total)>;

    explicit DemoShopGenerator(const DemoShopOptions &options);
    ~DemoShopGenerator();
    DemoShopGenerator(const DemoShopGenerator &) = delete;
    DemoShopGenerator &operator=(const DemoShopGenerator &) = delete;

    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Creates the database at `location` with the program's own schema and
    // fills it. An existing SQLite file is refused unless `force`; the new
    // file is built beside it and replaces it only when complete. An existing
    // PostgreSQL database with stock or sales is refused unless `force`
    // (then those rows are deleted in the same transaction).
    bool createShop(const DatabaseLocation &location, bool force);

    // Fills an open shop database in one transaction. Refuses tables that
    // already hold rows unless `clearExisting`.
    bool fill(Database &db, bool clearExisting = false);

    // A Chinese sentence saying what went wrong.
    QString errorText() const { return m_error; }
    const DemoShopSummary &summary() const { return m_summary; }

private:
    struct Plan;
    bool makePlan();
    bool writeStock(Database &db);
    bool writeSales(Database &db);
    bool fail(const QString &text);
    void report(const QString &stage, qint64 done, qint64 total) const;

    DemoShopOptions m_options;
    Progress m_progress;
    std::unique_ptr<Plan> m_plan;
    DemoShopSummary m_summary;
    QString m_error;
};
