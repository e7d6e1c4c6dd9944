#include "data/GridLayoutStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ColumnLayout)

char *toString(const ColumnLayout &column)
{
    return QTest::toString(u"%1 pos=%2 width=%3 visible=%4 sort=%5"_s.arg(column.field)
                               .arg(column.position)
                               .arg(column.width)
                               .arg(column.visible)
                               .arg(column.sortMarker));
}

namespace {

ColumnLayout column(const QString &field, int position, int width, bool visible = true,
                    int sortMarker = ColumnLayout::NoSort)
{
    return ColumnLayout{field, position, width, visible, sortMarker};
}

QList<ColumnLayout> byPosition(QList<ColumnLayout> columns)
{
    std::stable_sort(columns.begin(), columns.end(),
                     [](const ColumnLayout &a, const ColumnLayout &b) { return a.position < b.position; });
    return columns;
}

} // namespace

class TestGridLayoutStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void missingFileRestoresNothing();
    void roundTrip_data();
    void roundTrip();
    void sectionsAreIndependent();
    void shorterSaveKeepsOtherColumns();
    void damagedEntriesAreSkipped();
    void failedSaveIsReported();
    void defaultFileIsInProgramConfigFolder();

private:
    QString path() const { return m_dir->filePath(u"cfg/lwjxc.ini"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestGridLayoutStore::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestGridLayoutStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestGridLayoutStore::missingFileRestoresNothing()
{
    const GridLayoutStore store(path());
    QVERIFY(store.restore(GridLayoutStore::StockListSection).isEmpty());
    QVERIFY(store.restore(GridLayoutStore::SalesDetailSection).isEmpty());
    QVERIFY(!QFileInfo::exists(path()));
    QVERIFY(!QFileInfo::exists(QFileInfo(path()).path()));
}

void TestGridLayoutStore::roundTrip_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QList<ColumnLayout>>("columns");

    // Saved out of position order: restore hands them back left to right.
    const QList<ColumnLayout> stock{
        column(u"7"_s, 3, 60, true, ColumnLayout::Descending),
        column(u"a"_s, 0, 120),
        column(u"a5"_s, 1, 80, false),
        column(u"day1"_s, 2, 96, true, ColumnLayout::Ascending),
        column(u"1"_s, 4, 0, false),
    };
    QTest::newRow("stock list") << QString(GridLayoutStore::StockListSection) << stock;

    const QList<ColumnLayout> sales{
        column(u"z"_s, 0, 140, true, ColumnLayout::Ascending),
        column(u"day2"_s, 1, 100, false, ColumnLayout::Descending),
        column(u"9"_s, 2, 75),
    };
    QTest::newRow("sales detail") << QString(GridLayoutStore::SalesDetailSection) << sales;

    // Names QSettings would otherwise read as groups, escapes or comments.
    const QList<ColumnLayout> awkward{
        column(u"a/b"_s, 0, 10),
        column(u"c\\d"_s, 1, 11, false),
        column(u"名称"_s, 2, 12, true, ColumnLayout::Ascending),
        column(u"x y%20;=#"_s, 3, 13),
        column(u"Size"_s, 4, 14),
    };
    QTest::newRow("awkward field names") << QString(GridLayoutStore::StockListSection) << awkward;
}

void TestGridLayoutStore::roundTrip()
{
    QFETCH(QString, section);
    QFETCH(QList<ColumnLayout>, columns);
    QVERIFY(GridLayoutStore(path()).save(section, columns));
    QCOMPARE(GridLayoutStore(path()).restore(section), byPosition(columns));
}

void TestGridLayoutStore::sectionsAreIndependent()
{
    GridLayoutStore store(path());
    const QList<ColumnLayout> stock{column(u"7"_s, 0, 50), column(u"b"_s, 1, 90, false)};
    const QList<ColumnLayout> sales{column(u"7"_s, 2, 70, false, ColumnLayout::Ascending),
                                    column(u"z"_s, 0, 130), column(u"g"_s, 1, 40)};
    QVERIFY(store.save(GridLayoutStore::StockListSection, stock));
    QVERIFY(store.restore(GridLayoutStore::SalesDetailSection).isEmpty());
    QVERIFY(store.save(GridLayoutStore::SalesDetailSection, sales));

    QCOMPARE(store.restore(GridLayoutStore::StockListSection), byPosition(stock));
    QCOMPARE(store.restore(GridLayoutStore::SalesDetailSection), byPosition(sales));

    // The sections carry the grids' established names in the file.
    QFile file(path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("[qmzrtk.vdx]\n"), text.constData());
    QVERIFY2(text.contains("[qmzrtk.vdx2]\n"), text.constData());
}

void TestGridLayoutStore::shorterSaveKeepsOtherColumns()
{
    GridLayoutStore store(path());
    QVERIFY(store.save(GridLayoutStore::StockListSection,
                       {column(u"a"_s, 0, 100), column(u"b"_s, 1, 80), column(u"7"_s, 2, 60)}));
    QVERIFY(store.save(GridLayoutStore::StockListSection,
                       {column(u"b"_s, 1, 200, false, ColumnLayout::Ascending)}));
    const QList<ColumnLayout> expected{column(u"a"_s, 0, 100),
                                       column(u"b"_s, 1, 200, false, ColumnLayout::Ascending),
                                       column(u"7"_s, 2, 60)};
    QCOMPARE(store.restore(GridLayoutStore::StockListSection), expected);
}

void TestGridLayoutStore::damagedEntriesAreSkipped()
{
    QVERIFY(QDir().mkpath(QFileInfo(path()).path()));
    QFile file(path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[qmzrtk.vdx]\n"
               "7\\Position=1\n7\\Width=60\n7\\Visible=false\n7\\Sort=9\n"
               "a\\Position=0\na\\Width=wide\n"
               "b\\Width=30\n"
               "c\\Position=2\nc\\Width=-5\n"
               "d\\Position=3\nd\\Width=45\n"
               "stray=1\n");
    file.close();

    const QList<ColumnLayout> expected{column(u"7"_s, 1, 60, false, ColumnLayout::NoSort),
                                       column(u"d"_s, 3, 45)};
    QCOMPARE(GridLayoutStore(path()).restore(GridLayoutStore::StockListSection), expected);
}

void TestGridLayoutStore::failedSaveIsReported()
{
    // A regular file where the folder should be.
    QFile blocker(m_dir->filePath(u"cfg"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    GridLayoutStore store(path());
    QVERIFY(!store.save(GridLayoutStore::StockListSection, {column(u"a"_s, 0, 10)}));
    QVERIFY(store.restore(GridLayoutStore::StockListSection).isEmpty());
}

void TestGridLayoutStore::defaultFileIsInProgramConfigFolder()
{
    // The same folder the program's own names give, whether or not they
    // have been set when the store is made.
    const QString before = GridLayoutStore().filePath();
    QCoreApplication::setOrganizationName(u"Velmora"_s);
    QCoreApplication::setApplicationName(u"jxc"_s);
    const QString expected =
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(u"lwjxc.ini"_s);
    QCOMPARE(before, expected);
    QCOMPARE(GridLayoutStore::defaultFilePath(), expected);
}

QTEST_GUILESS_MAIN(TestGridLayoutStore)
#include "tst_gridlayoutstore.moc"
