#include "StockEntryPanel.h"

#include "common/DataGrid.h"
#include "common/NumberBox.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Database.h"
#include "data/FieldCheck.h"
#include "data/FieldHelpers.h"
#include "data/FieldLimits.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"
#include "shell/FloatingPanel.h"
#include "shell/MainWindowParts.h"
#include "stock/StockBook.h"
#include "stock/StockListView.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <optional>

namespace {

const QString kSavedNotice = QStringLiteral("数据入库成功...");
const QString kModifiedNotice = QStringLiteral("修改数据成功...");

// A number box's value for the recompute rules; none while the text is not
// (yet) a number, such as a lone "." half-way through typing ".5".
std::optional<double> numberIn(const QLineEdit *box)
{
    try {
        return StockBook::toNumber(box->text());
    } catch (const InvalidNumber &) {
        return std::nullopt;
    }
}

bool isFilled(const QLineEdit *box)
{
    return !box->text().isEmpty();
}

// A stock row's value as the panel's boxes show it.
QString boxText(const QString &field, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (field == QLatin1String("day1"))
        return Dialect::toDate(value).toString(ShopContext::dateFormat());
    if (!field.isEmpty() && field.front().isDigit()) {
        bool ok = false;
        const double number = value.toDouble(&ok);
        return ok ? NumberFormat::general(number) : value.toString();
    }
    return value.toString();
}

QComboBox *listBox(const char *objectName, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(objectName));
    box->setEditable(true);
    // Enter moves on; a new name is stored by saving, not by Enter.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    box->setCurrentIndex(-1);
    return box;
}

} // namespace

StockEntryPanel::StockEntryPanel(ShopContext &context, const MainWindowParts &parts)
    : QWidget(parts.stockEntryPanel->content()), m_context(context), m_parts(parts), m_db(context.database())
{
    setObjectName(QStringLiteral("stockEntryContent"));
    auto *outer = new QVBoxLayout(parts.stockEntryPanel->content());
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(this);

    buildBoxes();
    buildChain();

    FloatingPanel *panel = m_parts.stockEntryPanel;
    connect(panel, &FloatingPanel::closed, this, &StockEntryPanel::closePanel);

    if (auto *newStock = m_parts.window->findChild<QAction *>(QStringLiteral("newStockAction"))) {
        newStock->setEnabled(true);
        connect(newStock, &QAction::triggered, this, &StockEntryPanel::openNew);
    }
    if (auto *modify = m_parts.window->findChild<QAction *>(QStringLiteral("modifyStockAction"))) {
        modify->setEnabled(true);
        connect(modify, &QAction::triggered, this, &StockEntryPanel::openModify);
    }
    if (StockListView *list = m_parts.stockList) {
        connect(list, &StockListView::rowClicked, this, &StockEntryPanel::fillFromRow);
        connect(list, &StockListView::distinctListsRefillRequested, this, &StockEntryPanel::refillLists);
        connect(list, &StockListView::listReloaded, this, &StockEntryPanel::listReloaded);
        connect(list->grid(), &DataGrid::currentRowChanged, this, &StockEntryPanel::currentRowMoved);
    }
    m_context.registerDateBox(m_dateBox);
}

void StockEntryPanel::buildBoxes()
{
    m_nameBox = listBox("entryNameBox", this);
    m_nameBox->setToolTip(QStringLiteral("直接点击已经输入好的记录，自动填充内容"));
    m_specBox = listBox("entrySpecBox", this);
    m_codeBox = listBox("entryCodeBox", this);
    m_categoryBox = listBox("entryCategoryBox", this);
    m_supplierBox = listBox("entrySupplierBox", this);

    m_dateBox = new QLineEdit(this);
    m_dateBox->setObjectName(QStringLiteral("entryDateBox"));
    // Digits optional, so an emptied box shows the blank pattern "    -  -  "
    // and the window's date guard puts today back.
    m_dateBox->setInputMask(QStringLiteral("0000-00-00"));

    m_purchasePriceBox = new NumberBox(NumberBox::Arrows::UpDown, this);
    m_purchasePriceBox->setObjectName(QStringLiteral("entryPurchasePriceBox"));
    m_quantityBox = new NumberBox(NumberBox::Arrows::UpDown, this);
    m_quantityBox->setObjectName(QStringLiteral("entryQuantityBox"));
    m_salePriceBox = new NumberBox(NumberBox::Arrows::UpDown, this);
    m_salePriceBox->setObjectName(QStringLiteral("entrySalePriceBox"));
    for (NumberBox *box : {m_purchasePriceBox, m_quantityBox, m_salePriceBox})
        box->setText(QStringLiteral("0"));

    m_remarkBox = new QLineEdit(this);
    m_remarkBox->setObjectName(QStringLiteral("entryRemarkBox"));
    // The same limits the stock book keeps, so a box never takes what a save refuses.
    m_remarkBox->setMaxLength(FieldLimits::maxLength(u"z"));
    const std::pair<QComboBox *, QStringView> limited[] = {{m_nameBox, u"a"},
                                                           {m_specBox, u"b"},
                                                           {m_codeBox, u"c"},
                                                           {m_categoryBox, u"d"},
                                                           {m_supplierBox, u"g"}};
    for (const auto &[box, column] : limited)
        box->lineEdit()->setMaxLength(FieldLimits::maxLength(column));

    m_saveNewButton = new QPushButton(QStringLiteral("新建入库"), this);
    m_saveNewButton->setObjectName(QStringLiteral("Button1"));
    m_saveModifyButton = new QPushButton(QStringLiteral("修改入库"), this);
    m_saveModifyButton->setObjectName(QStringLiteral("Button3"));
    m_saveModifyButton->setEnabled(false);
    m_saveModifyButton->hide();
    connect(m_saveNewButton, &QPushButton::clicked, this, &StockEntryPanel::saveNew);
    connect(m_saveModifyButton, &QPushButton::clicked, this, &StockEntryPanel::saveModification);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    auto place = [this, grid](const QString &caption, QWidget *box, int row, int column, int span = 1) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(box->objectName() + QStringLiteral("Label"));
        label->setBuddy(box);
        grid->addWidget(label, row, column * 2, Qt::AlignRight);
        grid->addWidget(box, row, column * 2 + 1, 1, span);
    };
    place(QStringLiteral("商品名称："), m_nameBox, 0, 0);
    place(QStringLiteral("规格型号："), m_specBox, 0, 1);
    place(QStringLiteral("商品编码："), m_codeBox, 1, 0);
    place(QStringLiteral("类 别："), m_categoryBox, 1, 1);
    place(QStringLiteral("入库日期："), m_dateBox, 2, 0);
    place(QStringLiteral("进货单价："), m_purchasePriceBox, 2, 1);
    place(QStringLiteral(" 数 量："), m_quantityBox, 3, 0);
    place(QStringLiteral("销售单价："), m_salePriceBox, 3, 1);
    place(QStringLiteral("供货商："), m_supplierBox, 4, 0, 3);
    place(QStringLiteral("备 注："), m_remarkBox, 5, 0, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_saveNewButton);
    buttons->addWidget(m_saveModifyButton);
    grid->addLayout(buttons, 6, 0, 1, 4);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    // The derived and carried values live in boxes that are never shown but
    // are filled, read and saved like the others.
    auto hidden = [this](const char *objectName, const QString &caption) {
        auto *box = new NumberBox(NumberBox::Arrows::None, this);
        box->setObjectName(QLatin1String(objectName));
        box->setAccessibleName(caption);
        box->hide();
        return box;
    };
    m_purchaseAmountBox = hidden("entryPurchaseAmountBox", QStringLiteral("进货金额："));
    m_soldQuantityBox = hidden("entrySoldQuantityBox", QStringLiteral("销售数量："));
    m_salesTotalBox = hidden("entrySalesTotalBox", QStringLiteral("销售合计："));
    m_salesTotalBox->setReadOnly(true);
    m_stockQuantityBox = hidden("entryStockQuantityBox", QStringLiteral("库存数量："));
    m_stockAmountBox = hidden("entryStockAmountBox", QStringLiteral("库存金额："));
    m_stockAmountBox->setReadOnly(true);
    m_soldQuantityBox->setText(QStringLiteral("0"));
    m_salesTotalBox->setText(QStringLiteral("0"));

    m_clearButton = new QPushButton(QStringLiteral("清空"), this);
    m_clearButton->setObjectName(QStringLiteral("entryClearButton"));
    m_clearButton->hide();
    connect(m_clearButton, &QPushButton::clicked, this, &StockEntryPanel::clear);

    connect(m_purchasePriceBox, &QLineEdit::textChanged, this, &StockEntryPanel::purchaseChanged);
    connect(m_purchaseAmountBox, &QLineEdit::textChanged, this, &StockEntryPanel::purchaseChanged);
    connect(m_quantityBox, &QLineEdit::textChanged, this, &StockEntryPanel::quantityChanged);
    connect(m_salePriceBox, &QLineEdit::textChanged, this, &StockEntryPanel::salesChanged);
    connect(m_soldQuantityBox, &QLineEdit::textChanged, this, &StockEntryPanel::salesChanged);
}

void StockEntryPanel::buildChain()
{
    m_chain = {m_nameBox,     m_specBox,          m_codeBox,       m_categoryBox,
               m_dateBox,     m_purchasePriceBox, m_quantityBox,   m_salePriceBox,
               m_supplierBox, m_remarkBox,        m_saveNewButton, m_saveModifyButton};
    // Tab walks the same way as Enter and returns from the buttons to the name.
    for (int i = 0; i + 1 < m_chain.size(); ++i)
        setTabOrder(m_chain.at(i), m_chain.at(i + 1));
    for (QWidget *widget : std::as_const(m_chain)) {
        widget->installEventFilter(this);
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            combo->lineEdit()->installEventFilter(this);
    }
}

bool StockEntryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QWidget::eventFilter(watched, event);
    QWidget *widget = qobject_cast<QWidget *>(watched);
    if (auto *combo = qobject_cast<QComboBox *>(widget ? widget->parentWidget() : nullptr);
        combo && combo->lineEdit() == widget)
        widget = combo;
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        if (button->isEnabled())
            button->click();
        return true;
    }
    const int at = m_chain.indexOf(widget);
    if (at < 0)
        return QWidget::eventFilter(watched, event);
    // The remark box leads to "新建入库"; in modify mode that button is hidden
    // and the focus stays where it is.
    if (widget == m_remarkBox) {
        if (m_saveNewButton->isVisible())
            m_saveNewButton->setFocus(Qt::TabFocusReason);
        return true;
    }
    m_chain.at(at + 1)->setFocus(Qt::TabFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(m_chain.at(at + 1)))
        edit->selectAll();
    return true;
}

// ---------------------------------------------------------------- recompute

void StockEntryPanel::setBoxText(QLineEdit *box, const QString &text)
{
    // Writing the text a box already holds is no change and fires no rule.
    if (box->text() != text)
        box->setText(text);
}

void StockEntryPanel::setComboText(QComboBox *box, const QString &text)
{
    box->setEditText(text);
}

void StockEntryPanel::purchaseChanged()
{
    if (!isFilled(m_purchasePriceBox) || !isFilled(m_quantityBox) || !isFilled(m_stockQuantityBox))
        return;
    const auto price = numberIn(m_purchasePriceBox);
    const auto quantity = numberIn(m_quantityBox);
    if (!price || !quantity)
        return;
    setBoxText(m_purchaseAmountBox, NumberFormat::general(*price * *quantity));
    if (const auto stock = numberIn(m_stockQuantityBox))
        setBoxText(m_stockAmountBox, NumberFormat::general(*price * *stock));
}

void StockEntryPanel::quantityChanged()
{
    setBoxText(m_stockQuantityBox, m_quantityBox->text());
    if (!isFilled(m_purchasePriceBox) || !isFilled(m_quantityBox))
        return;
    const auto price = numberIn(m_purchasePriceBox);
    const auto quantity = numberIn(m_quantityBox);
    if (price && quantity)
        setBoxText(m_purchaseAmountBox, NumberFormat::general(*price * *quantity));
}

void StockEntryPanel::salesChanged()
{
    if (!isFilled(m_salePriceBox) || !isFilled(m_soldQuantityBox))
        return;
    const auto price = numberIn(m_salePriceBox);
    const auto sold = numberIn(m_soldQuantityBox);
    if (price && sold)
        setBoxText(m_salesTotalBox, NumberFormat::general(*price * *sold));
}

// ---------------------------------------------------------------- opening

void StockEntryPanel::openNew()
{
    m_parts.salePanel->hide();
    m_parts.ticketPanel->hide();
    clear();
    m_saveModifyButton->hide();
    m_saveNewButton->show();
    FloatingPanel *panel = m_parts.stockEntryPanel;
    panel->show();
    panel->raise();
    m_nameBox->setFocus(Qt::OtherFocusReason);
}

void StockEntryPanel::openModify()
{
    StockListView *list = m_parts.stockList;
    if (!list || list->currentValue(QStringLiteral("a")).toString().isEmpty())
        return;
    FloatingPanel *panel = m_parts.stockEntryPanel;
    panel->show();
    panel->raise();
    m_parts.salePanel->hide();
    m_saveNewButton->hide();
    m_modifyId = list->currentStockId();
    setModifyEnabled(true);
    m_saveModifyButton->show();
    // The order matters: every copy fires the recompute rules, so the
    // purchase amount ends as price x quantity and the stored stock figures
    // are copied last.
    copyCurrentRow({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                    QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                    QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
                    QStringLiteral("z"), QStringLiteral("day1"), QStringLiteral("g")});
    m_nameBox->setFocus(Qt::OtherFocusReason);
}

void StockEntryPanel::copyCurrentRow(const QStringList &fields)
{
    StockListView *list = m_parts.stockList;
    for (const QString &field : fields) {
        const QString text = boxText(field, list->currentValue(field));
        if (field == QLatin1String("a"))
            setComboText(m_nameBox, text);
        else if (field == QLatin1String("b"))
            setComboText(m_specBox, text);
        else if (field == QLatin1String("c"))
            setComboText(m_codeBox, text);
        else if (field == QLatin1String("d"))
            setComboText(m_categoryBox, text);
        else if (field == QLatin1String("g"))
            setComboText(m_supplierBox, text);
        else if (field == QLatin1String("z"))
            setBoxText(m_remarkBox, text);
        else if (field == QLatin1String("day1"))
            setBoxText(m_dateBox, text);
        else if (field == QLatin1String("1"))
            setBoxText(m_purchasePriceBox, text);
        else if (field == QLatin1String("2"))
            setBoxText(m_quantityBox, text);
        else if (field == QLatin1String("3"))
            setBoxText(m_purchaseAmountBox, text);
        else if (field == QLatin1String("4"))
            setBoxText(m_salePriceBox, text);
        else if (field == QLatin1String("5"))
            setBoxText(m_soldQuantityBox, text);
        else if (field == QLatin1String("6"))
            setBoxText(m_salesTotalBox, text);
        else if (field == QLatin1String("7"))
            setBoxText(m_stockQuantityBox, text);
        else if (field == QLatin1String("8"))
            setBoxText(m_stockAmountBox, text);
    }
}

void StockEntryPanel::fillFromRow(qint64 stockId)
{
    if (stockId != m_lastClickedId) {
        // Another article: the sale panel and a pending correction belong
        // to the row clicked before.
        m_parts.salePanel->hide();
        setModifyEnabled(false);
    }
    m_lastClickedId = stockId;
    StockListView *list = m_parts.stockList;
    if (!list || list->currentValue(QStringLiteral("a")).toString().isEmpty())
        return;
    copyCurrentRow({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
                    QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("z")});
}

void StockEntryPanel::clear()
{
    for (QLineEdit *box :
         {static_cast<QLineEdit *>(m_purchasePriceBox), static_cast<QLineEdit *>(m_quantityBox),
          static_cast<QLineEdit *>(m_salePriceBox), static_cast<QLineEdit *>(m_stockQuantityBox),
          static_cast<QLineEdit *>(m_stockAmountBox), m_remarkBox})
        setBoxText(box, QString());
    setBoxText(m_soldQuantityBox, QStringLiteral("0"));
    setBoxText(m_salesTotalBox, QStringLiteral("0"));
}

void StockEntryPanel::closePanel()
{
    m_parts.stockEntryPanel->hide();
    clear();
    setModifyEnabled(false);
}

void StockEntryPanel::setModifyEnabled(bool enabled)
{
    if (!enabled)
        m_modifyId = 0;
    m_saveModifyButton->setEnabled(enabled);
}

void StockEntryPanel::currentRowMoved()
{
    // An arrow key, a right-click or a new result moved the list away from
    // the row being corrected: what the boxes hold no longer belongs to the
    // row the list shows, so the correction cannot be saved any more.
    StockListView *list = m_parts.stockList;
    if (m_modifyId != 0 && (!list || list->currentStockId() != m_modifyId))
        setModifyEnabled(false);
}

void StockEntryPanel::listReloaded()
{
    if (m_modifyId != 0)
        setModifyEnabled(false);
}

void StockEntryPanel::refillLists()
{
    // Categories, names, models and suppliers repeat over many rows: one
    // index seek per distinct value is far cheaper than reading every row.
    // Codes are nearly one per article, so reading the code index whole is
    // cheaper than a seek for each. Run from a signal, so errors end here.
    const QString table = QStringLiteral("data");
    try {
        FillWithValues(m_categoryBox, DistinctValuesByIndex(m_db, QStringLiteral("d"), table));
        FillWithValues(m_nameBox, DistinctValuesByIndex(m_db, QStringLiteral("a"), table));
        FillWithValues(m_specBox, DistinctValuesByIndex(m_db, QStringLiteral("b"), table));
        FillWithDistinctValues(m_codeBox, m_db, QStringLiteral("c"), table);
        FillWithValues(m_supplierBox, DistinctValuesByIndex(m_db, QStringLiteral("g"), table));
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
}

// ---------------------------------------------------------------- saving

StockEntry StockEntryPanel::entryFromBoxes() const
{
    StockEntry entry;
    entry.name = m_nameBox->currentText();
    entry.spec = m_specBox->currentText();
    entry.code = m_codeBox->currentText();
    entry.category = m_categoryBox->currentText();
    entry.supplier = m_supplierBox->currentText();
    entry.remark = m_remarkBox->text();
    entry.purchasePrice = m_purchasePriceBox->text();
    entry.quantity = m_quantityBox->text();
    entry.salePrice = m_salePriceBox->text();
    entry.sold = m_soldQuantityBox->text();
    entry.stockQuantity = m_stockQuantityBox->text();
    entry.stockInDate = QDate::fromString(m_dateBox->text(), ShopContext::dateFormat());
    return entry;
}

void StockEntryPanel::focusBoxHolding(const QString &text)
{
    for (NumberBox *box : {m_purchasePriceBox, m_quantityBox, m_salePriceBox}) {
        if (box->text() == text) {
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
            return;
        }
    }
}

void StockEntryPanel::focusBoxOf(const QString &column)
{
    const QHash<QString, QWidget *> boxes{
        {QStringLiteral("a"), m_nameBox},          {QStringLiteral("b"), m_specBox},
        {QStringLiteral("c"), m_codeBox},          {QStringLiteral("d"), m_categoryBox},
        {QStringLiteral("g"), m_supplierBox},      {QStringLiteral("z"), m_remarkBox},
        {QStringLiteral("1"), m_purchasePriceBox}, {QStringLiteral("2"), m_quantityBox},
        {QStringLiteral("4"), m_salePriceBox}};
    // The sold and stock quantities live in boxes that are never shown; the
    // quantity received is where they come from.
    QWidget *box = boxes.value(column, m_quantityBox);
    box->setFocus(Qt::OtherFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(box))
        edit->selectAll();
}

namespace {
// The date box holds a whole, real date; otherwise the operator is told and
// the box gets the focus.
bool checkDate(QLineEdit *box)
{
    QString digits = box->text();
    digits.remove(u'-');
    if (digits.trimmed().isEmpty()) {
        Prompter::information(box->window(), QStringLiteral("入库日期必须输入"));
        box->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (!QDate::fromString(box->text(), ShopContext::dateFormat()).isValid()) {
        Prompter::error(box->window(), QStringLiteral("'%1' is not a valid date").arg(box->displayText()));
        box->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}
} // namespace

bool StockEntryPanel::saveNew()
{
    if (!(CheckRequired(m_nameBox, QStringLiteral("商品名称必须输入！")) &&
          CheckRequired(m_codeBox, QStringLiteral("商品编码必须输入！")) &&
          CheckRequired(m_categoryBox, QStringLiteral("商品类别必须输入！")) &&
          CheckRequired(m_purchasePriceBox, QStringLiteral("进货单价必须输入！")) &&
          CheckRequired(m_quantityBox, QStringLiteral("进货数量必须输入！")) &&
          CheckRequired(m_salePriceBox, QStringLiteral("销售单价必须输入！"))))
        return false;
    if (!checkDate(m_dateBox))
        return false;
    try {
        StockBook(m_db).add(m_context.session(), entryFromBoxes());
    } catch (const RefusedValue &error) {
        Prompter::warning(window(), error.message());
        focusBoxOf(error.column());
        return false;
    } catch (const InvalidNumber &error) {
        Prompter::error(window(), error.message());
        focusBoxHolding(error.text());
        return false;
    } catch (const DatabaseError &error) {
        Prompter::error(window(), error.message());
        return false;
    }
    m_context.showSuccessNotice(kSavedNotice);
    clear();
    m_context.requestAllRecords();
    setModifyEnabled(false);
    // The next delivery starts at the name.
    m_nameBox->setFocus(Qt::OtherFocusReason);
    return true;
}

bool StockEntryPanel::saveModification()
{
    // The stored stock follows from what was received less what was sold;
    // the boxes show it before the question.
    if (isFilled(m_purchasePriceBox) && isFilled(m_quantityBox)) {
        try {
            const double price = StockBook::toNumber(m_purchasePriceBox->text());
            const double quantity = StockBook::toNumber(m_quantityBox->text());
            const double sold =
                isFilled(m_soldQuantityBox) ? StockBook::toNumber(m_soldQuantityBox->text()) : 0.0;
            setBoxText(m_purchaseAmountBox, NumberFormat::general(price * quantity));
            setBoxText(m_stockQuantityBox, NumberFormat::general(quantity - sold));
            setBoxText(m_stockAmountBox, NumberFormat::general((quantity - sold) * price));
        } catch (const InvalidNumber &error) {
            Prompter::error(window(), error.message());
            focusBoxHolding(error.text());
            return false;
        }
    }
    if (!Prompter::confirm(window(), QStringLiteral("你确实要修改选中资料吗？"), QStringLiteral("警告！")))
        return false;
    if (!(CheckRequired(m_nameBox, QStringLiteral("商品名称必须输入！")) &&
          CheckRequired(m_codeBox, QStringLiteral("商品编码必须输入！")) &&
          CheckRequired(m_categoryBox, QStringLiteral("商品类别必须输入！")) &&
          CheckRequired(m_purchasePriceBox, QStringLiteral("进货单价必须输入！")) &&
          CheckRequired(m_quantityBox, QStringLiteral("进货数量必须输入！")) &&
          CheckRequired(m_salePriceBox, QStringLiteral("销售单价必须输入！")) &&
          CheckRequired(m_stockQuantityBox, QStringLiteral("库存数量必须输入！"))))
        return false;
    // A record without a date could not be found by date again.
    if (!checkDate(m_dateBox))
        return false;
    // Only the row "修 改" opened, never whichever row is current now.
    const qint64 id = m_modifyId;
    if (id == 0) {
        Prompter::warning(window(), QStringLiteral("请先在库存列表中选中要修改的记录，再点“修 改”。"));
        return false;
    }
    try {
        StockBook(m_db).modify(m_context.session(), id, entryFromBoxes());
    } catch (const RefusedValue &error) {
        Prompter::warning(window(), error.message());
        focusBoxOf(error.column());
        return false;
    } catch (const InvalidNumber &error) {
        Prompter::error(window(), error.message());
        focusBoxHolding(error.text());
        return false;
    } catch (const DatabaseError &error) {
        Prompter::error(window(), error.message());
        return false;
    }
    m_context.requestAllRecords();
    m_parts.stockEntryPanel->hide();
    m_context.showSuccessNotice(kModifiedNotice);
    clear();
    setModifyEnabled(false);
    return true;
}
