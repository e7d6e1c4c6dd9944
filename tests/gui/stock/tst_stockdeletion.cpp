#include "../common/SignedInMainForm.h"

#include "common/DataGrid.h"
#include "data/SqlListModel.h"
#include "shell/FloatingPanel.h"
#include "shell/SuccessNotice.h"
#include "stock/StockBook.h"
#include "stock/StockListView.h"

#include <QLabel>

// "删 除" on the stock list: the question first, then the record goes, the
// list shows the remaining rows with the selection on the neighbour.
class TestStockDeletion : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        SignedInMainForm::initTestCase(m_home);
    }

    void init()
    {
        m_shop = std::make_unique<SignedInMainForm>();
        QVERIFY(m_shop->database.isOpen());
        Prompter::clearShown();
    }

    void cleanup() { m_shop.reset(); }

    void question_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("ok deletes") << int(Prompter::Answer::Ok) << true;
        QTest::newRow("cancel keeps") << int(Prompter::Answer::Cancel) << false;
    }

    void question()
    {
        QFETCH(int, answer);
        QFETCH(bool, deleted);
        QVERIFY(m_shop->open());
        for (int i = 0; i < 3; ++i)
            m_shop->addStock(QStringLiteral("商品%1").arg(i), 10, 5, 50.0, 0, QDate(2024, 1, 1 + i));
        m_shop->form->showAllRecords();
        StockListView *list = m_shop->form->stockList();
        list->grid()->setCurrentRow(1);
        const qint64 id = list->currentStockId();
        QVERIFY(id != 0);
        m_shop->form->salePanel()->show();

        Prompter::queueAnswer(Prompter::Answer(answer));
        m_shop->action("deleteStockAction")->trigger();
        QVERIFY(!m_shop->form->salePanel()->isVisible());
        QCOMPARE(Prompter::shown().size(), 1);
        QCOMPARE(Prompter::shown().first().caption, QStringLiteral("警告！"));
        QCOMPARE(Prompter::shown().first().text, QStringLiteral("你真的要删除选中资料吗？"));
        const int left =
            ScalarValue(m_shop->database.db(), QStringLiteral("select count(*) from data where id = ?"), {id})
                .toInt();
        QCOMPARE(left, deleted ? 0 : 1);
        QCOMPARE(list->grid()->gridModel()->rowCount(), deleted ? 2 : 3);
        // The selection stays at the same place: the next record after a deletion.
        QCOMPARE(list->grid()->currentRow(), 1);
        QCOMPARE(list->currentValue(QStringLiteral("a")).toString(),
                 deleted ? QStringLiteral("商品2") : QStringLiteral("商品1"));
        QCOMPARE(m_shop->form->successNotice()->isVisible() &&
                     m_shop->form->successNotice()->text() == QStringLiteral("删除数据成功..."),
                 deleted);
    }

    // The last row deleted: the selection moves up to the new last row.
    void lastRowSelectsItsNeighbour()
    {
        QVERIFY(m_shop->open());
        for (int i = 0; i < 2; ++i)
            m_shop->addStock(QStringLiteral("商品%1").arg(i), 10, 5, 50.0, 0, QDate(2024, 1, 1 + i));
        m_shop->form->showAllRecords();
        StockListView *list = m_shop->form->stockList();
        list->grid()->setCurrentRow(1);
        Prompter::queueAnswer(Prompter::Answer::Ok);
        m_shop->action("deleteStockAction")->trigger();
        QCOMPARE(list->grid()->gridModel()->rowCount(), 1);
        QCOMPARE(list->grid()->currentRow(), 0);
        QCOMPARE(list->currentValue(QStringLiteral("a")).toString(), QStringLiteral("商品0"));
    }

    // An empty list: no question, no error, nothing happens.
    void emptyListDoesNothing()
    {
        QVERIFY(m_shop->open());
        m_shop->form->showAllRecords();
        Prompter::queueAnswer(Prompter::Answer::Ok);
        m_shop->action("deleteStockAction")->trigger();
        QVERIFY(Prompter::shown().isEmpty());
    }

    // Another operator: the item is hidden, and the stock book refuses too.
    void restrictedSessionIsRefused()
    {
        QVERIFY(m_shop->open(QStringLiteral("店员")));
        m_shop->addStock(QStringLiteral("拉杆箱"), 10, 5, 50.0, 0, QDate(2024, 1, 1));
        m_shop->form->showAllRecords();
        QVERIFY(!m_shop->action("deleteStockAction")->isVisible());
        const qint64 id = m_shop->form->stockList()->currentStockId();
        QVERIFY(id != 0);
        QVERIFY_THROWS_EXCEPTION(AccessDenied,
                                 StockBook(m_shop->database.db()).remove(m_shop->form->session(), id));

        // Even reached some other way, the command deletes nothing.
        Prompter::queueAnswer(Prompter::Answer::Ok);
        m_shop->action("deleteStockAction")->trigger();
        QCOMPARE(ScalarValue(m_shop->database.db(), QStringLiteral("select count(*) from data")).toInt(), 1);
        QCOMPARE(Prompter::lastText(), AccessDenied::text());
    }

private:
    QTemporaryDir m_home;
    std::unique_ptr<SignedInMainForm> m_shop;
};

QTEST_MAIN(TestStockDeletion)
#include "tst_stockdeletion.moc"
