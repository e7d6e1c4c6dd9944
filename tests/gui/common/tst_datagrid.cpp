#include "TestDatabase.h"
#include "common/DataGrid.h"
#include "common/GroupedHeaderView.h"
#include "data/Dialect.h"
#include "data/GridLayoutStore.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"

#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<DataGridColumn> stockColumns()
{
    const QString info = QStringLiteral("商 品 信 息");
    const QString in = QStringLiteral("进 货");
    const QString out = QStringLiteral("销 售");
    const QString stock = QStringLiteral("存 货");
    const QString note = QStringLiteral("备 注");
    const Qt::Alignment r = Qt::AlignRight;
    using F = DataGridColumn::Footer;
    const QString q = QStringLiteral("#0.###");
    const QString m = QStringLiteral("#0.##");
    return {
        {QStringLiteral("a"),
         info,
         QStringLiteral("名 称"),
         Qt::AlignLeft,
         {},
         F::Text,
         QStringLiteral("总计"),
         Qt::AlignCenter,
         90,
         true},
        {QStringLiteral("b"), info, QStringLiteral("规格型号"), Qt::AlignLeft, {}, F::None, {}, r, 70, true},
        {QStringLiteral("c"), info, QStringLiteral("编 码"), Qt::AlignLeft, {}, F::None, {}, r, 70, true},
        {QStringLiteral("d"), info, QStringLiteral("类 别"), Qt::AlignLeft, {}, F::None, {}, r, 60, true},
        {QStringLiteral("2"), in, QStringLiteral("数 量"), r, q, F::Sum, {}, r, 50, true},
        {QStringLiteral("1"), in, QStringLiteral("单 价"), r, {}, F::None, {}, r, 50, true},
        {QStringLiteral("3"), in, QStringLiteral("金 额"), r, m, F::Sum, {}, r, 60, true},
        {QStringLiteral("5"), out, QStringLiteral("数 量"), r, q, F::Sum, {}, r, 50, true},
        {QStringLiteral("4"), out, QStringLiteral("单 价"), r, {}, F::None, {}, r, 50, true},
        {QStringLiteral("6"), out, QStringLiteral("金 额"), r, m, F::Sum, {}, r, 60, true},
        {QStringLiteral("7"), stock, QStringLiteral("数 量"), r, q, F::Sum, {}, r, 50, true},
        {QStringLiteral("8"), stock, QStringLiteral("金 额"), r, m, F::Sum, {}, r, 60, true},
        {QStringLiteral("day1"),
         note,
         QStringLiteral("入库日期"),
         Qt::AlignCenter,
         {},
         F::None,
         {},
         r,
         80,
         true},
        {QStringLiteral("g"), note, QStringLiteral("供货商"), Qt::AlignLeft, {}, F::None, {}, r, 70, true},
        {QStringLiteral("z"), note, QStringLiteral("备 注"), Qt::AlignLeft, {}, F::None, {}, r, 70, true},
    };
}

SqlListQuery stockQuery()
{
    SqlListQuery q;
    q.fields = {QStringLiteral("id"), QStringLiteral("a"),    QStringLiteral("b"), QStringLiteral("c"),
                QStringLiteral("d"),  QStringLiteral("1"),    QStringLiteral("2"), QStringLiteral("3"),
                QStringLiteral("4"),  QStringLiteral("5"),    QStringLiteral("6"), QStringLiteral("7"),
                QStringLiteral("8"),  QStringLiteral("day1"), QStringLiteral("g"), QStringLiteral("z")};
    q.from = QStringLiteral("data");
    q.keyFields = {QStringLiteral("id")};
    q.defaultOrderField = QStringLiteral("day1");
    return q;
}

// name, category, purchase qty "2", amount "3", stock "7", date
void addStock(Database &db, const QString &name, const QString &category, double purchased, double amount,
              const QVariant &stock, const QDate &day)
{
    ExecuteStatement(
        db,
        QStringLiteral("insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", "
                       "\"8\", day1, g, z) values (?, ?, ?, ?, ?, ?, ?, ?, 0, 0, ?, ?, ?, ?, ?)"),
        {name, QStringLiteral("规格"), QString(QStringLiteral("C") + name), category, 10.0, purchased, amount,
         15.0, stock, amount, db.dialect().dateValue(day), QStringLiteral("供货商甲"),
         QStringLiteral("备注")});
}

// A shown grid over a small stock table.
struct Fixture
{
    TestDatabase database;
    SqlListModel list{database.db()};
    DataGrid grid;

    Fixture()
    {
        Database &db = database.db();
        addStock(db, QStringLiteral("拉杆箱"), QStringLiteral("箱"), 3, 360.5, 5.0, QDate(2024, 1, 3));
        addStock(db, QStringLiteral("双肩包"), QStringLiteral("包"), 10, 199.999, 6.0, QDate(2024, 1, 1));
        addStock(db, QStringLiteral("钱包"), QStringLiteral("包"), 2.5, 50.25, 5.4, QDate(2024, 1, 2));
        addStock(db, QStringLiteral("手提箱"), QStringLiteral("箱"), 1, 88, 5.5, QDate(2024, 1, 5));
        addStock(db, QStringLiteral("旅行袋"), QStringLiteral("袋"), 4, 60, 4.5, QDate(2024, 1, 4));
        addStock(db, QStringLiteral("腰包"), QStringLiteral("包"), 1, 20,
                 QVariant(QMetaType::fromType<double>()), QDate(2024, 1, 6));
        grid.setColumns(stockColumns());
        grid.useShopGroupColours();
        grid.setListModel(&list);
        grid.resize(1000, 300);
        grid.show();
        list.setQuery(stockQuery());
    }
};

} // namespace

// The list grid: title sorting and its markers, grouped titles, footers,
// hidden columns, layout save and restore, row colours, keyboard.
class TestDataGrid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void titleClicksSortAndAdvanceMarkers_data();
    void titleClicksSortAndAdvanceMarkers();
    void panelsHearOfTheSortBeforeItRuns();
    void equalAdjacentUpperTitlesShareOneBand();
    void footerShowsTextsAndSums();
    void footerSumsFollowTheFilter();
    void hiddenColumnsAndFitting();
    void layoutRoundTripsThroughTheStore();
    void missingSectionKeepsTheDesignLayout();
    void alarmRowsAreRedWhenDrawn();
    void keyboardMovesAndEnterActivates();
    void cellsUseTheColumnPatterns();
};

void TestDataGrid::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
}

void TestDataGrid::titleClicksSortAndAdvanceMarkers_data()
{
    // Clicks as "column" or "^column" (Ctrl held); the sort direction of each
    // click and the markers afterwards ("-" none, "v" down, "^" up).
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("directions");
    QTest::addColumn<QString>("markers"); // for columns 0..14
    QTest::newRow("same title three times")
        << QStringList{QStringLiteral("10"), QStringLiteral("10"), QStringLiteral("10")}
        << QStringLiteral("dad") << QStringLiteral("----------v----");
    QTest::newRow("A, B, A") << QStringList{QStringLiteral("10"), QStringLiteral("4"), QStringLiteral("10")}
                             << QStringLiteral("ddd") << QStringLiteral("----------v----");
    QTest::newRow("same title four times")
        << QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")}
        << QStringLiteral("dada") << QStringLiteral("^--------------");
    QTest::newRow("Ctrl keeps the other marker") << QStringList{QStringLiteral("10"), QStringLiteral("^4")}
                                                 << QStringLiteral("dd") << QStringLiteral("----v-----v----");
    QTest::newRow("Ctrl on an up marker")
        << QStringList{QStringLiteral("4"), QStringLiteral("4"), QStringLiteral("^0")}
        << QStringLiteral("dad") << QStringLiteral("v---^----------");
}

void TestDataGrid::titleClicksSortAndAdvanceMarkers()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, directions);
    QFETCH(QString, markers);
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    QSignalSpy sorted(&f.grid, &DataGrid::sorted);
    GroupedHeaderView *header = f.grid.header();
    for (int i = 0; i < clicks.size(); ++i) {
        QString click = clicks.at(i);
        const bool ctrl = click.startsWith(u'^');
        const int column = click.remove(u'^').toInt();
        // Click the lower title line of the column, as the operator does.
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() * 3 / 4);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, ctrl ? Qt::ControlModifier : Qt::NoModifier,
                          at);
        QCOMPARE(sorted.count(), i + 1);
        QCOMPARE(sorted.at(i).at(0).toInt(), column);
        const bool ascending = directions.at(i) == u'a';
        QCOMPARE(sorted.at(i).at(1).toBool(), ascending);
        // The list really is in that order.
        const QString field = stockColumns().at(column).field;
        QCOMPARE(f.list.sortField(), field);
        QCOMPARE(f.list.sortAscending(), ascending);
    }
    QString actual;
    for (int c = 0; c < 15; ++c) {
        const int m = f.grid.sortMarker(c);
        actual += m == ColumnLayout::Descending ? u'v' : m == ColumnLayout::Ascending ? u'^' : u'-';
    }
    QCOMPARE(actual, markers);
}

void TestDataGrid::panelsHearOfTheSortBeforeItRuns()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    QString sortWhenTold = QStringLiteral("unset");
    connect(&f.grid, &DataGrid::aboutToSort, &f.grid, [&] { sortWhenTold = f.list.sortField(); });
    f.grid.clickTitle(10);
    QCOMPARE(sortWhenTold, QString()); // not yet sorted when the panels hide
    QCOMPARE(f.list.sortField(), QStringLiteral("7"));
    // Descending by stock: 6 first, the null last.
    QCOMPARE(f.list.value(0, QStringLiteral("a")).toString(), QStringLiteral("双肩包"));
    QVERIFY(f.list.value(5, QStringLiteral("7")).isNull());
    f.grid.clickTitle(10);
    QVERIFY(f.list.value(0, QStringLiteral("7")).isNull());
    QCOMPARE(f.list.value(1, QStringLiteral("a")).toString(), QStringLiteral("旅行袋"));
}

void TestDataGrid::equalAdjacentUpperTitlesShareOneBand()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    GroupedHeaderView *h = f.grid.header();
    auto span = [h](int first, int last) {
        const int left = h->sectionViewportPosition(first);
        return std::make_pair(left, h->sectionViewportPosition(last) + h->sectionSize(last) - left);
    };
    auto band = [h](int column) {
        const QRect r = h->upperBandRect(column);
        return std::make_pair(r.left(), r.width());
    };
    QCOMPARE(band(0), span(0, 3));
    QCOMPARE(band(2), span(0, 3));
    QCOMPARE(band(5), span(4, 6));
    QCOMPARE(band(10), span(10, 11));
    QCOMPARE(band(14), span(12, 14));
    QVERIFY(h->upperBandRect(0).height() > 0 && h->upperBandRect(0).height() <= h->height() / 2);

    // A hidden member leaves its neighbours one group.
    f.grid.setColumnVisible(5, false);
    QCOMPARE(band(4), span(4, 6));
    // Moving a column out of its group splits the group it leaves.
    h->moveSection(h->visualIndex(12), 1); // 备注's date between 名称 and 规格型号
    QCOMPARE(band(0), span(0, 0));
    QCOMPARE(band(1), span(1, 3));
    QCOMPARE(band(12), span(12, 12));
    QCOMPARE(band(13), span(13, 14));

    // The group colours reach the title cells.
    QAbstractItemModel *m = f.grid.view()->model();
    QCOMPARE(m->headerData(4, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(0, 128, 128));
    QCOMPARE(m->headerData(4, Qt::Horizontal, Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
    QCOMPARE(m->headerData(11, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(128, 0, 0));
    QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(), QColor(166, 202, 240));
}

void TestDataGrid::footerShowsTextsAndSums()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    QCOMPARE(f.grid.footerText(0), QStringLiteral("总计"));
    QCOMPARE(f.grid.footerText(1), QString());
    QCOMPARE(f.grid.footerText(4), QStringLiteral("21.5"));   // 3 + 10 + 2.5 + 1 + 4 + 1
    QCOMPARE(f.grid.footerText(6), QStringLiteral("778.75")); // 360.5 + 199.999 + 50.25 + 88 + 60 + 20
    QCOMPARE(f.grid.footerText(10), QStringLiteral("26.4"));  // null skipped
    QCOMPARE(f.grid.footerText(5), QString());                // unit prices are not summed
    QCOMPARE(f.list.sumFields(),
             (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("6"),
                          QStringLiteral("7"), QStringLiteral("8")}));
}

void TestDataGrid::footerSumsFollowTheFilter()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    SqlListQuery q = stockQuery();
    q.condition = f.database.db().dialect().containsMatch(QStringLiteral("d"));
    q.values = {Dialect::containsPattern(QStringLiteral("包"))};
    f.list.setQuery(q);
    QCOMPARE(f.grid.footerText(4), QStringLiteral("13.5"));
    QCOMPARE(f.grid.footerText(6), QStringLiteral("270.25"));
    q.values = {Dialect::containsPattern(QStringLiteral("手表"))};
    f.list.setQuery(q);
    QCOMPARE(f.grid.footerText(4), QStringLiteral("0"));
    QCOMPARE(f.grid.footerText(0), QStringLiteral("总计"));
}

void TestDataGrid::hiddenColumnsAndFitting()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    QHeaderView *h = f.grid.header();
    auto visibleWidth = [h] {
        int sum = 0;
        for (int c = 0; c < h->count(); ++c)
            sum += h->isSectionHidden(c) ? 0 : h->sectionSize(c);
        return sum;
    };
    const int available = f.grid.view()->viewport()->width();
    QCOMPARE(visibleWidth(), available);
    // 名称 was designed wider than 规格型号 and stays so after fitting.
    QVERIFY(h->sectionSize(0) > h->sectionSize(1));

    // "隐藏金额": three amount columns by index.
    for (int c : {6, 9, 11})
        f.grid.setColumnVisible(c, false);
    f.grid.setFieldVisible(QStringLiteral("day1"), false);
    for (int c : {6, 9, 11, 12})
        QVERIFY(!f.grid.isColumnVisible(c));
    QVERIFY(f.grid.isColumnVisible(7));
    QCOMPARE(visibleWidth(), f.grid.view()->viewport()->width());
    f.grid.setColumnVisible(9, true);
    QVERIFY(f.grid.isColumnVisible(9));
    QVERIFY(h->sectionSize(9) > 0);

    f.grid.resize(700, 300);
    QTRY_COMPARE(visibleWidth(), f.grid.view()->viewport()->width());
}

void TestDataGrid::layoutRoundTripsThroughTheStore()
{
    QTemporaryDir dir;
    GridLayoutStore store(dir.filePath(QStringLiteral("lwjxc.ini")));
    QList<ColumnLayout> saved;
    {
        Fixture f;
        QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
        QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
        f.grid.header()->moveSection(f.grid.header()->visualIndex(14), 0); // 备注 first
        f.grid.header()->resizeSection(2, 150);
        f.grid.setColumnVisible(8, false);
        f.grid.clickTitle(4);
        f.grid.clickTitle(4);                      // up
        f.grid.clickTitle(7, Qt::ControlModifier); // down, keeping 4's
        saved = f.grid.columnLayout();
        // A hidden column keeps the width it comes back with, not 0.
        QVERIFY2(saved.at(8).width > 10, qPrintable(QString::number(saved.at(8).width)));
        QVERIFY(f.grid.saveLayout(store, GridLayoutStore::StockListSection));
    }
    Fixture g;
    QVERIFY2(g.database.isOpen(), qPrintable(g.database.errorText()));
    QVERIFY(QTest::qWaitForWindowExposed(&g.grid));
    QVERIFY(g.grid.restoreLayout(store, GridLayoutStore::StockListSection));
    const QList<ColumnLayout> restored = g.grid.columnLayout();
    QCOMPARE(restored.size(), saved.size());
    for (int c = 0; c < saved.size(); ++c) {
        QCOMPARE(restored.at(c).field, saved.at(c).field);
        QCOMPARE(restored.at(c).position, saved.at(c).position);
        QCOMPARE(restored.at(c).visible, saved.at(c).visible);
        QCOMPARE(restored.at(c).sortMarker, saved.at(c).sortMarker);
        QVERIFY2(std::abs(restored.at(c).width - saved.at(c).width) <= 1,
                 qPrintable(QStringLiteral("column %1: %2 vs %3")
                                .arg(c)
                                .arg(restored.at(c).width)
                                .arg(saved.at(c).width)));
    }
    QCOMPARE(g.grid.header()->visualIndex(14), 0);
    QVERIFY(!g.grid.isColumnVisible(8));
    g.grid.setColumnVisible(8, true);
    QVERIFY(g.grid.header()->sectionSize(8) > 10);
    QCOMPARE(g.grid.sortMarker(4), ColumnLayout::Ascending);
    QCOMPARE(g.grid.sortMarker(7), ColumnLayout::Descending);
    // The restored up marker drives the next click: ascending -> descending.
    QSignalSpy sorted(&g.grid, &DataGrid::sorted);
    g.grid.clickTitle(4);
    QCOMPARE(sorted.at(0).at(1).toBool(), false);
    // The sales-detail section is separate and still empty.
    QVERIFY(store.restore(GridLayoutStore::SalesDetailSection).isEmpty());
}

void TestDataGrid::missingSectionKeepsTheDesignLayout()
{
    QTemporaryDir dir;
    GridLayoutStore store(dir.filePath(QStringLiteral("absent/lwjxc.ini")));
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    const QList<ColumnLayout> before = f.grid.columnLayout();
    QVERIFY(!f.grid.restoreLayout(store, GridLayoutStore::StockListSection));
    QCOMPARE(f.grid.columnLayout(), before);
}

void TestDataGrid::alarmRowsAreRedWhenDrawn()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    QString alarmText = QStringLiteral("5");
    f.grid.setRowColourRule([&alarmText](const RowAccessor &row) {
        return NumberFormat::isAtOrBelowAlarm(row.value(QStringLiteral("7")),
                                              NumberFormat::alarmQuantity(alarmText))
                   ? QColor(255, 0, 0)
                   : QColor();
    });
    QAbstractItemModel *m = f.grid.view()->model();
    auto redNames = [&] {
        QStringList names;
        for (int r = 0; r < m->rowCount(); ++r) {
            const QVariant fg = m->data(m->index(r, 3), Qt::ForegroundRole);
            // Red, taken as dark as the grey rows need to read it.
            if (fg.value<QColor>().hue() == 0 && fg.value<QColor>().saturation() == 255)
                names << m->data(m->index(r, 0)).toString();
        }
        names.sort();
        return names;
    };
    // Stocks: 拉杆箱 5, 双肩包 6, 钱包 5.4, 手提箱 5.5, 旅行袋 4.5, 腰包 null.
    QStringList expected{QStringLiteral("拉杆箱"), QStringLiteral("钱包"), QStringLiteral("旅行袋"),
                         QStringLiteral("腰包")};
    expected.sort();
    QCOMPARE(redNames(), expected);
    // A new alarm shows at the next drawing, without a new query.
    alarmText = QStringLiteral("0");
    QCOMPARE(redNames(), QStringList{QStringLiteral("腰包")});
    alarmText = QStringLiteral("99999999999"); // beyond 32 bits: the largest value
    QCOMPARE(redNames().size(), 6);

    // The whole row shares the colour, and the painted grid shows red text.
    alarmText = QStringLiteral("5");
    QCOMPARE(m->data(m->index(0, 14), Qt::ForegroundRole).value<QColor>(),
             m->data(m->index(0, 0), Qt::ForegroundRole).value<QColor>());
    f.grid.view()->clearSelection();
    f.grid.view()->setCurrentIndex(QModelIndex());
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    const QImage image = f.grid.grab().toImage();
    int redPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80)
                ++redPixels;
        }
    QVERIFY2(redPixels > 50, qPrintable(QString::number(redPixels)));
    if (!qEnvironmentVariableIsEmpty("LWJXC_GRID_PNG"))
        image.save(qEnvironmentVariable("LWJXC_GRID_PNG"));
}

void TestDataGrid::keyboardMovesAndEnterActivates()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    QVERIFY(QTest::qWaitForWindowExposed(&f.grid));
    QCOMPARE(f.grid.currentRow(), 0); // a new result starts on its first row
    QSignalSpy changed(&f.grid, &DataGrid::currentRowChanged);
    QSignalSpy activated(&f.grid, &DataGrid::rowActivated);
    QSignalSpy clicked(&f.grid, &DataGrid::rowClicked);
    f.grid.view()->setFocus();
    QTest::keyClick(f.grid.view(), Qt::Key_Down);
    QTest::keyClick(f.grid.view(), Qt::Key_Down);
    QCOMPARE(f.grid.currentRow(), 2);
    QCOMPARE(changed.last().at(0).toInt(), 2);
    // Ordered by stock-in date: 双肩包 (1st), 钱包 (2nd), 拉杆箱 (3rd).
    QCOMPARE(f.grid.currentValue(QStringLiteral("a")).toString(), QStringLiteral("拉杆箱"));
    QTest::keyClick(f.grid.view(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(f.grid.currentRow(), 5);
    QTest::keyClick(f.grid.view(), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(f.grid.currentRow(), 0);
    QTest::keyClick(f.grid.view(), Qt::Key_Return);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.last().at(0).toInt(), 0);

    const QRect cell = f.grid.view()->visualRect(f.grid.view()->model()->index(3, 1));
    QTest::mouseClick(f.grid.view()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.last().at(0).toInt(), 3);
    QCOMPARE(activated.count(), 1); // a single click does not sell
    QTest::mouseDClick(f.grid.view()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(activated.count(), 2);
    QCOMPARE(activated.last().at(0).toInt(), 3);
    QCOMPARE(f.grid.currentValue(QStringLiteral("a")).toString(), QStringLiteral("旅行袋"));
}

void TestDataGrid::cellsUseTheColumnPatterns()
{
    Fixture f;
    QVERIFY2(f.database.isOpen(), qPrintable(f.database.errorText()));
    QAbstractItemModel *m = f.grid.view()->model();
    // Row 0 is 双肩包: amount 199.999 under "#0.##", price 10 in general form.
    QCOMPARE(m->data(m->index(0, 6)).toString(), QStringLiteral("200"));
    QCOMPARE(m->data(m->index(0, 5)).toString(), QStringLiteral("10"));
    QCOMPARE(m->data(m->index(0, 12)).toString(), QStringLiteral("2024-01-01"));
    QCOMPARE(m->data(m->index(0, 6), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
             Qt::AlignRight);
    QCOMPARE(m->data(m->index(0, 12), Qt::TextAlignmentRole).value<Qt::Alignment>() &
                 Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
    QCOMPARE(m->data(m->index(0, 0), Qt::BackgroundRole).value<QColor>(), QColor(238, 238, 238));
    QVERIFY(m->data(m->index(5, 10)).toString().isEmpty()); // null stock: empty cell
}

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
