#include "Tchhform.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

Tchhform::Tchhform(QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("chhform"));
    setWindowTitle(QStringLiteral("使用帮助"));
    QFont songTi = font();
    songTi.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), songTi.family()});
    songTi.setPixelSize(14);
    setFont(songTi);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto *pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl1"));
    m_text = new QPlainTextEdit(pages);
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setReadOnly(true);
    m_text->setPlainText(quickStartText());
    // Read-only, but the operator may still select and copy a tip.
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    pages->addTab(m_text, QStringLiteral("快速使用"));
    layout->addWidget(pages);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关 闭"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    setFixedSize(640, 560);
}

void Tchhform::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Centred on the desktop the first time; where the operator moved it after.
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

QString Tchhform::quickStartText()
{
    return QStringLiteral(
        "1、入库：\n"
        "  （1）点工具栏“新建入库”（或在库存列表上点右键选“新建入库”）打开入库窗口，填好名称、规格型号、"
        "编码、类别、进价、数量、售价和供货商后保存。\n"
        "  （2）名称、规格型号、编码、类别和供货商的下拉列表记住了录入过的内容，直接选择即可，不必重打。\n"
        "  （3）在库存列表中单击一条记录，入库窗口就填好这条记录的内容：改好后点“修 改”更正这条记录，"
        "或改数量和日期后作为新的一批货再入库。\n"
        "  （4）编码框可以用扫描枪扫条码录入。\n"
        "\n"
        "2、销售：\n"
        "  （1）在库存列表中双击要卖的商品（或选中后按回车）打开销售窗口，名称、编码、价格和库存已填好。\n"
        "  （2）售价可以改，也可以填折扣；填好数量、欠款和客户后保存。退货时先按“退”再保存。\n"
        "  （3）销售单号由日期和当天的顺序号组成（例如 20240305001）。同一位顾客买的几件商品用同一个单号，"
        "逐件双击加入；接待下一位顾客前按“+”或“下一单”换新单号。\n"
        "  （4）“单据打印”列出当前单号的全部商品，收款找零后可打印小票和销售单。\n"
        "  （5）工具栏“销售明细”按当天、本月或任意条件查看销售和退货，可修改或删除销售记录"
        "（删除后库存自动加回），还有按月、按日的统计图。\n"
        "\n"
        "3、库存：\n"
        "  （1）主窗口上方的库存列表就是每一次入库的记录，带着已售数量和剩余库存；最下面一行是合计。\n"
        "  （2）在“快速拼音查询”中输入条件，列表随打随查；勾选“不显示零库存”可隐藏已卖完的记录。\n"
        "  （3）工具栏“汇总统计”（或库存列表右键“汇总统计”，快捷键 Ctrl+H）把同一名称、规格型号、编码和"
        "类别的全部入库记录合成一行，列出进货、销售和存货的数量与金额。\n"
        "  （4）库存数量小于或等于“库存报警数量”的记录显示为红色，提醒及时补货。\n"
        "\n"
        "小技巧：\n"
        "  1. 录入时用回车键（Enter）或 Tab 键在各输入框之间依次切换，不必用鼠标。\n"
        "  2. 点列表的列标题即可排序：第一次点从大到小，再点一次从小到大。\n"
        "  3. 商品名称和规格型号用拼音首字母查询，例如“拉杆箱”输入 lgx；商品编码框支持扫描枪，扫码后直接"
        "找到该商品。\n"
        "  4. 库存列表和销售明细的右键菜单中可以隐藏不想看的列（如进价、金额、供货商），设置会被记住，"
        "下次打开仍然有效；“保存当前列宽”记住列的宽度和顺序。\n"
        "  5. “超级管理员”看得到进价、金额和利润，能入库、修改和删除记录，并在“用户管理”中添加、删除其他账号"
        "或重设其密码；其他账号用于日常销售，看不到进价、金额和利润，也不能入库、修改或删除记录。\n"
        "  6. 每个列表都可以右键“导出Excel”，保存为 .xls、.xlsx 或 CSV 文件；“打 印”先预览再打印，"
        "也可以打印成 PDF。\n"
        "  7. 工具栏“数据备份”可随时把数据备份到自己选的位置，也可以从备份恢复；程序正常退出时还会自动备份，"
        "保留最近的几份。\n"
        "  8. 店里有几台收银电脑时，可以把数据放在一台 PostgreSQL 数据库服务器上，各台电脑同时开单、"
        "共用同一份库存（启动时用 --database postgresql://用户@服务器/数据库 指定）。\n");
}
