#include "shell/HintStyle.h"

#include <QApplication>
#include <QStyleFactory>
#include <QtTest>

// Hints show at once; every other style decision stays the platform's.
class TestHintStyle : public QObject
{
    Q_OBJECT

private slots:
    void hints_data()
    {
        QTest::addColumn<int>("hint");
        QTest::addColumn<bool>("changed");
        QTest::newRow("wake-up delay") << int(QStyle::SH_ToolTip_WakeUpDelay) << true;
        QTest::newRow("fall-asleep delay") << int(QStyle::SH_ToolTip_FallAsleepDelay) << false;
        QTest::newRow("combo popup") << int(QStyle::SH_ComboBox_Popup) << false;
    }
    void hints()
    {
        QFETCH(int, hint);
        QFETCH(bool, changed);
        QStyle *base = QStyleFactory::create(QStringLiteral("Fusion"));
        const int platform = base->styleHint(QStyle::StyleHint(hint));
        HintStyle style(QStyleFactory::create(QStringLiteral("Fusion")));
        const int ours = style.styleHint(QStyle::StyleHint(hint));
        if (changed)
            QCOMPARE(ours, 0);
        else
            QCOMPARE(ours, platform);
        delete base;
    }
};

QTEST_MAIN(TestHintStyle)
#include "tst_hintstyle.moc"
