#include "StartupWindow.h"

#include "data/Database.h"
#include "data/QueryHelpers.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

StartupWindow::StartupWindow(const Database &database, QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("岚蔚箱包销售管理软件"));
    auto *layout = new QVBoxLayout(this);
    const QString what = database.wasCreated() ? QStringLiteral("已新建数据库：") : QStringLiteral("已打开数据库：");
    const qint64 stock = ScalarValue(database, QStringLiteral("select count(*) from data")).toLongLong();
    const qint64 sales = ScalarValue(database, QStringLiteral("select count(*) from data1")).toLongLong();
    auto *label = new QLabel(QStringLiteral("%1%2（%3）\n库存记录 %4 条，销售记录 %5 条。\n\n主窗口尚在建设中。")
                                 .arg(what, database.location().displayName(), database.dialect().name())
                                 .arg(stock)
                                 .arg(sales),
                             this);
    label->setObjectName(QStringLiteral("databaseLabel"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    auto *close = new QPushButton(QStringLiteral("退出"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(520, 180);
}
