#include "TestDatabase.h"
#include "common/Prompter.h"
#include "data/FieldHelpers.h"
#include "data/QueryHelpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

// Required-field checks and the distinct-value lists on real widgets.
class TestFieldHelpers : public QObject
{
    Q_OBJECT

private slots:
    void init() { Prompter::setTestMode(true); }
    void requiredCheck_data();
    void requiredCheck();
    void chainedChecksReportOnlyTheFirstEmptyBox();
    void fillReplacesListAndLeavesTextEmpty();
};

void TestFieldHelpers::requiredCheck_data()
{
    QTest::addColumn<bool>("combo");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("passes");
    for (bool combo : {false, true}) {
        const char *kind = combo ? "combo" : "edit";
        QTest::addRow("%s: empty", kind) << combo << QString() << false;
        QTest::addRow("%s: blanks only", kind) << combo << QStringLiteral("   ") << false;
        QTest::addRow("%s: tab and blank", kind) << combo << QStringLiteral("\t ") << false;
        QTest::addRow("%s: padded text kept", kind) << combo << QStringLiteral(" x ") << true;
        QTest::addRow("%s: chinese", kind) << combo << QStringLiteral("拉杆箱") << true;
    }
}

void TestFieldHelpers::requiredCheck()
{
    QFETCH(bool, combo);
    QFETCH(QString, text);
    QFETCH(bool, passes);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *other = new QLineEdit(&window);
    layout->addWidget(other);
    QLineEdit *edit = nullptr;
    QComboBox *box = nullptr;
    QWidget *checked = nullptr;
    if (combo) {
        box = new QComboBox(&window);
        box->setEditable(true);
        box->setEditText(text);
        checked = box;
    } else {
        edit = new QLineEdit(text, &window);
        checked = edit;
    }
    layout->addWidget(checked);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    other->setFocus();
    const QString message = QStringLiteral("商品名称必须输入！");
    const bool ok = combo ? CheckRequired(box, message) : CheckRequired(edit, message);
    QCOMPARE(ok, passes);
    QCOMPARE(combo ? box->currentText() : edit->text(), text);
    if (passes) {
        QVERIFY(Prompter::shown().isEmpty());
        QVERIFY(other->hasFocus());
    } else {
        QCOMPARE(Prompter::shown().size(), 1);
        QCOMPARE(Prompter::shown().first().kind, Prompter::Kind::Warning);
        QCOMPARE(Prompter::shown().first().text, message);
        QTRY_VERIFY(checked->hasFocus());
    }
}

void TestFieldHelpers::chainedChecksReportOnlyTheFirstEmptyBox()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *name = new QLineEdit(QStringLiteral("箱"), &window);
    auto *code = new QLineEdit(&window);
    auto *category = new QLineEdit(&window);
    layout->addWidget(name);
    layout->addWidget(code);
    layout->addWidget(category);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const bool ok = CheckRequired(name, QStringLiteral("商品名称必须输入！")) &&
                    CheckRequired(code, QStringLiteral("商品编码必须输入！")) &&
                    CheckRequired(category, QStringLiteral("类别必须输入！"));
    QVERIFY(!ok);
    QCOMPARE(Prompter::shownTexts(), QStringList{QStringLiteral("商品编码必须输入！")});
    QTRY_VERIFY(code->hasFocus());
}

void TestFieldHelpers::fillReplacesListAndLeavesTextEmpty()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    for (const QVariant &v :
         {QVariant(QStringLiteral("背包")), QVariant(), QVariant(QStringLiteral("拉杆箱"))})
        ExecuteStatement(t.db(), QStringLiteral("insert into data (d) values (?)"), {v});
    QComboBox box;
    box.setEditable(true);
    box.addItems({QStringLiteral("old 1"), QStringLiteral("old 2")});
    box.setEditText(QStringLiteral("typed"));
    FillWithDistinctValues(&box, t.db(), QStringLiteral("d"), QStringLiteral("data"));
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    QCOMPARE(items, (QStringList{QString(), QStringLiteral("拉杆箱"), QStringLiteral("背包")}));
    QCOMPARE(box.currentText(), QString());

    ExecuteStatement(t.db(), QStringLiteral("delete from data"));
    FillWithDistinctValues(&box, t.db(), QStringLiteral("d"), QStringLiteral("data"));
    QCOMPARE(box.count(), 0);
}

QTEST_MAIN(TestFieldHelpers)
#include "tst_fieldhelpers.moc"
