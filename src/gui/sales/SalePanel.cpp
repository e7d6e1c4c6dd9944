#include "SalePanel.h"

#include "common/NumberBox.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/FieldCheck.h"
#include "data/FieldHelpers.h"
#include "data/FieldLimits.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "sales/CustomerLookup.h"
#include "sales/OrderNumber.h"
#include "sales/SalesLedger.h"
#include "sales/TicketPanel.h"
#include "shell/FloatingPanel.h"
#include "shell/MainWindowParts.h"
#include "stock/StockBook.h"
#include "stock/StockListView.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString kSavedNotice = QStringLiteral("销售数据保存成功...");
const QString kStockShort = QStringLiteral("库存不足");

// The date box with its mask; an emptied box reads "    -  -  ".
bool isEmptyDate(const QString &text)
{
    QString digits = text;
    digits.remove(QLatin1Char('-'));
    return digits.trimmed().isEmpty();
}

QString numberText(const QVariant &value)
{
    return value.isNull() ? QString() : NumberFormat::general(value.toDouble());
}

QLabel *valueLabel(const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(objectName));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QToolButton *arrow(Qt::ArrowType type, const char *objectName, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setArrowType(type);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(16, 11);
    return button;
}

} // namespace

SalePanel::SalePanel(ShopContext &context, const MainWindowParts &parts)
    : QWidget(parts.salePanel->content()), m_context(context), m_parts(parts), m_db(context.database()),
      m_settings(context.settings()), m_orderCounter(context.database())
{
    setObjectName(QStringLiteral("saleContent"));
    auto *outer = new QVBoxLayout(parts.salePanel->content());
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(this);
    buildControls();
    buildChain();

    FloatingPanel *panel = m_parts.salePanel;
    panel->hide();
    panel->closeButton()->setObjectName(QStringLiteral("Image2"));
    connect(panel, &FloatingPanel::closed, this, [this] {
        m_open = false;
        clearInputs();
        setModifyStockEnabled(false);
    });
    if (StockListView *list = m_parts.stockList) {
        connect(list, &StockListView::rowActivated, this, &SalePanel::openFor);
        // A sale is always booked against the row the panel was opened on:
        // choosing another row closes it.
        // The stock entry panel may have hidden the panel already; the inputs
        // are cleared all the same.
        connect(list, &StockListView::rowClicked, this, [this](qint64 id) {
            if (m_open && id != m_stock.id)
                closePanel();
        });
    }
    if (TicketPanel *ticket = m_parts.ticket) {
        connect(ticket, &TicketPanel::nextOrderRequested, this, &SalePanel::nextOrder);
        connect(ticket, &TicketPanel::previousOrderRequested, this, &SalePanel::previousOrder);
    }
    m_context.registerSaleDateBox(m_saleDateBox);
}

// ---------------------------------------------------------------- building

void SalePanel::buildControls()
{
    m_nameLabel = valueLabel("Label42", this);
    m_specLabel = valueLabel("Label43", this);
    m_codeLabel = valueLabel("Label44", this);
    m_categoryLabel = valueLabel("Label45", this);
    m_suggestedPriceLabel = valueLabel("Label46", this);

    m_priceBox = new NumberBox(NumberBox::Arrows::None, this);
    m_priceBox->setObjectName(QStringLiteral("Edit5"));
    m_discountBox = new NumberBox(NumberBox::Arrows::None, this);
    m_discountBox->setObjectName(QStringLiteral("Edit10"));
    m_discountBox->setText(QStringLiteral("100"));
    m_discountUp = arrow(Qt::UpArrow, "discountUpButton", this);
    m_discountDown = arrow(Qt::DownArrow, "discountDownButton", this);
    m_quantityBox = new NumberBox(NumberBox::Arrows::UpDown, this);
    m_quantityBox->setObjectName(QStringLiteral("Edit35"));
    m_quantityBox->setText(QStringLiteral("1"));
    m_returnButton = new QPushButton(QStringLiteral("退"), this);
    m_returnButton->setObjectName(QStringLiteral("Button19"));
    m_returnButton->setToolTip(QStringLiteral("先输入退货数量，点此按钮后再销售确认"));
    m_returnButton->setFixedWidth(32);
    m_stockBox = new QLineEdit(this);
    m_stockBox->setObjectName(QStringLiteral("Edit24"));
    m_stockBox->setReadOnly(true);
    m_amountBox = new NumberBox(NumberBox::Arrows::None, this);
    m_amountBox->setObjectName(QStringLiteral("Edit38"));
    m_amountBox->setReadOnly(true);
    m_debtBox = new NumberBox(NumberBox::Arrows::None, this);
    m_debtBox->setObjectName(QStringLiteral("Edit12"));
    m_debtBox->setText(QStringLiteral("0"));
    m_saleDateBox = new QLineEdit(this);
    m_saleDateBox->setObjectName(QStringLiteral("DBDateTimeEditEh2"));
    // Digits optional, so an emptied box shows "    -  -  " and the main
    // window's date guard puts today back.
    m_saleDateBox->setInputMask(QStringLiteral("0000-00-00"));
    m_orderBox = new QLineEdit(this);
    m_orderBox->setObjectName(QStringLiteral("Edit34"));
    m_nextButton = new QPushButton(QStringLiteral("+"), this);
    m_nextButton->setObjectName(QStringLiteral("orderNextButton"));
    m_nextButton->setToolTip(QStringLiteral("单号增加"));
    m_previousButton = new QPushButton(QStringLiteral("-"), this);
    m_previousButton->setObjectName(QStringLiteral("orderPreviousButton"));
    m_previousButton->setToolTip(QStringLiteral("单号减少"));
    for (QPushButton *button : {m_nextButton, m_previousButton}) {
        button->setFixedWidth(24);
        button->setFocusPolicy(Qt::NoFocus);
    }
    m_customerBox = new QComboBox(this);
    m_customerBox->setObjectName(QStringLiteral("ComboBox7"));
    m_customerBox->setEditable(true);
    m_customerBox->setInsertPolicy(QComboBox::NoInsert);
    m_customerBox->setMaxVisibleItems(20);
    m_addressBox = new QLineEdit(this);
    m_addressBox->setObjectName(QStringLiteral("Edit13"));
    m_contactBox = new QLineEdit(this);
    m_contactBox->setObjectName(QStringLiteral("Edit14"));
    m_remarkBox = new QLineEdit(this);
    m_remarkBox->setObjectName(QStringLiteral("Edit45"));
    // The same limits the ledger keeps for the line's texts.
    m_orderBox->setMaxLength(FieldLimits::maxLength(u"z"));
    m_customerBox->lineEdit()->setMaxLength(FieldLimits::maxLength(u"g"));
    m_addressBox->setMaxLength(FieldLimits::maxLength(u"h"));
    m_contactBox->setMaxLength(FieldLimits::maxLength(u"i"));
    m_remarkBox->setMaxLength(FieldLimits::maxLength(u"j"));

    m_saveButton = new QToolButton(this);
    m_saveButton->setObjectName(QStringLiteral("Image3"));
    m_saveButton->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_saveButton->setIconSize(QSize(32, 32));
    m_saveButton->setAutoRaise(true);
    m_saveButton->setCursor(Qt::PointingHandCursor);
    m_saveButton->setToolTip(QStringLiteral("销售确认"));
    m_previewButton = new QPushButton(QStringLiteral("预览"), this);
    m_previewButton->setObjectName(QStringLiteral("BitBtn1"));
    m_previewButton->setFocusPolicy(Qt::NoFocus);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    int row = 0;
    // One line: the caption, then the box alone or the box in its own line
    // with its buttons.
    auto caption = [this, grid, &row](const QString &text, QWidget *box, QWidget *line = nullptr) {
        auto *label = new QLabel(text, this);
        label->setObjectName(box->objectName() + QStringLiteral("Caption"));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(line ? line : box, row, 1);
        ++row;
    };
    auto boxLine = [this](std::initializer_list<QWidget *> widgets, QLayout *extra = nullptr) {
        auto *line = new QWidget(this);
        auto *layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        for (QWidget *widget : widgets) {
            widget->setParent(line);
            layout->addWidget(widget, widget == *widgets.begin() ? 1 : 0);
        }
        if (extra)
            layout->addLayout(extra);
        return line;
    };
    caption(QStringLiteral("商品名称："), m_nameLabel);
    caption(QStringLiteral("规格型号："), m_specLabel);
    caption(QStringLiteral("商品编码："), m_codeLabel);
    caption(QStringLiteral("类 别："), m_categoryLabel);
    caption(QStringLiteral("建议销售价："), m_suggestedPriceLabel);

    // The price, then the discount with its arrows and "折" on the same line.
    auto *discountArrows = new QVBoxLayout;
    discountArrows->setSpacing(0);
    discountArrows->addWidget(m_discountUp);
    discountArrows->addWidget(m_discountDown);
    m_discountBox->setFixedWidth(44);
    QWidget *priceLine = boxLine({m_priceBox, m_discountBox}, discountArrows);
    priceLine->layout()->addWidget(new QLabel(QStringLiteral("折"), priceLine));
    caption(QStringLiteral("实际销售价："), m_priceBox, priceLine);
    caption(QStringLiteral("销售数量："), m_quantityBox, boxLine({m_quantityBox, m_returnButton}));
    caption(QStringLiteral("库存数量："), m_stockBox);
    caption(QStringLiteral("销售金额："), m_amountBox);
    caption(QStringLiteral("欠款金额："), m_debtBox);
    caption(QStringLiteral("销售日期："), m_saleDateBox);
    caption(QStringLiteral("销售单号："), m_orderBox, boxLine({m_orderBox, m_nextButton, m_previousButton}));
    auto *required = new QLabel(QStringLiteral("单据打印必填"), this);
    required->setObjectName(QStringLiteral("orderRequiredLabel"));
    grid->addWidget(required, row++, 1);

    caption(QStringLiteral("客户名称："), m_customerBox);
    caption(QStringLiteral("地 址："), m_addressBox);
    caption(QStringLiteral("联系方式："), m_contactBox);
    caption(QStringLiteral("备 注："), m_remarkBox);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_saveButton);
    buttons->addSpacing(12);
    buttons->addWidget(m_previewButton);
    buttons->addStretch(1);
    grid->addLayout(buttons, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    connect(m_discountUp, &QToolButton::clicked, this, [this] { stepDiscount(+1); });
    connect(m_discountDown, &QToolButton::clicked, this, [this] { stepDiscount(-1); });
    connect(m_discountBox, &QLineEdit::textChanged, this, &SalePanel::discountChanged);
    connect(m_priceBox, &QLineEdit::textChanged, this, &SalePanel::updateAmount);
    connect(m_quantityBox, &QLineEdit::textChanged, this, &SalePanel::updateAmount);
    connect(m_returnButton, &QPushButton::clicked, this, &SalePanel::toggleReturn);
    connect(m_nextButton, &QPushButton::clicked, this, &SalePanel::nextOrder);
    connect(m_previousButton, &QPushButton::clicked, this, &SalePanel::previousOrder);
    connect(m_orderBox, &QLineEdit::textChanged, this, &SalePanel::lookupOrder);
    connect(m_customerBox, &QComboBox::editTextChanged, this, &SalePanel::lookupCustomer);
    connect(m_saveButton, &QToolButton::clicked, this, &SalePanel::confirm);
    connect(m_previewButton, &QPushButton::clicked, m_parts.ticketPanel, &FloatingPanel::toggle);
}

void SalePanel::buildChain()
{
    m_chain = {m_priceBox,    m_discountBox, m_quantityBox, m_debtBox,   m_saleDateBox, m_orderBox,
               m_customerBox, m_addressBox,  m_contactBox,  m_remarkBox, m_saveButton};
    for (int i = 0; i + 1 < m_chain.size(); ++i)
        setTabOrder(m_chain.at(i), m_chain.at(i + 1));
    for (QWidget *widget : std::as_const(m_chain))
        widget->installEventFilter(this);
    m_customerBox->lineEdit()->installEventFilter(this);
    m_amountBox->installEventFilter(this);
}

bool SalePanel::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *widget = qobject_cast<QWidget *>(watched);
    if (widget == m_customerBox->lineEdit())
        widget = m_customerBox;
    if (event->type() == QEvent::FocusOut && widget == m_customerBox &&
        m_customerBox->currentText().trimmed().isEmpty()) {
        // Leaving the customer box empty: no customer, no address or contact.
        m_addressBox->clear();
        m_contactBox->clear();
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (widget == m_discountBox && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        stepDiscount(key->key() == Qt::Key_Up ? +1 : -1);
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return QWidget::eventFilter(watched, event);
    if (widget == m_saveButton) {
        m_saveButton->click();
        return true;
    }
    // The read-only amount box sends Enter on to the sale date.
    QWidget *target = widget == m_amountBox ? m_saleDateBox : nullptr;
    if (!target) {
        const int at = m_chain.indexOf(widget);
        if (at < 0 || at + 1 >= m_chain.size())
            return QWidget::eventFilter(watched, event);
        target = m_chain.at(at + 1);
    }
    target->setFocus(Qt::TabFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(target))
        edit->selectAll();
    return true;
}

// ---------------------------------------------------------------- opening

void SalePanel::openFor(qint64 stockId)
{
    std::optional<StockForSale> row;
    try {
        row = StockBook(m_db).forSale(stockId);
    } catch (const DatabaseError &error) {
        Prompter::error(m_parts.window, error.message());
        return;
    }
    if (!row || row->name.isEmpty())
        return;

    FloatingPanel *panel = m_parts.salePanel;
    panel->show();
    panel->raise();
    m_open = true;
    setModifyStockEnabled(true);
    if (auto *remark = m_parts.window->findChild<QLineEdit *>(QStringLiteral("entryRemarkBox")))
        remark->setText(row->remark);

    m_stock = Kept{};
    m_stock.id = stockId;
    m_stock.name = row->name;
    m_stock.spec = row->spec;
    m_stock.code = row->code;
    m_stock.category = row->category;
    m_stock.values.purchasePrice = row->purchasePrice;
    m_stock.suggestedPrice = numberText(row->salePrice);
    m_stock.values.sold = row->sold;
    m_stock.values.salesAmount = row->salesAmount;
    m_stock.values.stock = row->stock.toDouble();
    m_stock.stockInDate =
        row->stockInDate.isValid() ? row->stockInDate.toString(ShopContext::dateFormat()) : QString();

    m_nameLabel->setText(m_stock.name);
    m_specLabel->setText(m_stock.spec);
    m_codeLabel->setText(m_stock.code);
    m_categoryLabel->setText(m_stock.category);
    m_suggestedPriceLabel->setText(m_stock.suggestedPrice);
    m_priceBox->setText(m_stock.suggestedPrice);
    m_stockBox->setText(numberText(row->stock));
    compute();

    refillCustomers();

    const OrderNumber::DayReset day = OrderNumber::resetForSaleDate(
        m_context.orderCounter(), m_context.lastSaleDate(), m_saleDateBox->text());
    if (day.reset) {
        m_context.setLastSaleDate(day.storedDate);
        claimOrderCounter(day.counter);
    } else if (!m_steppedBack) {
        claimOrderCounter(m_context.orderCounter());
    }
    composeOrderNumber();

    m_priceBox->setFocus(Qt::OtherFocusReason);
    m_priceBox->selectAll();
}

void SalePanel::closePanel()
{
    m_open = false;
    m_parts.salePanel->hide();
    clearInputs();
    setModifyStockEnabled(false);
}

void SalePanel::clearInputs()
{
    m_quantityBox->setText(QStringLiteral("1"));
    m_debtBox->setText(QStringLiteral("0"));
    m_priceBox->clear();
}

void SalePanel::setModifyStockEnabled(bool enabled)
{
    if (auto *modify = m_parts.window->findChild<QPushButton *>(QStringLiteral("Button3")))
        modify->setEnabled(enabled);
}

void SalePanel::refillCustomers()
{
    QStringList names;
    try {
        names = CustomerLookup(m_db).names();
    } catch (const DatabaseError &error) {
        Prompter::error(m_parts.window, error.message());
    }
    // Refilling empties the box; no lookup runs for that.
    const QSignalBlocker quiet(m_customerBox);
    m_customerBox->clear();
    m_customerBox->addItems(names);
    emptyCustomerBox();
}

void SalePanel::emptyCustomerBox()
{
    const QSignalBlocker quiet(m_customerBox);
    m_customerBox->setCurrentIndex(-1);
    m_customerBox->setEditText(QString());
}

// ---------------------------------------------------------------- figures

void SalePanel::compute()
{
    if (m_priceBox->text().isEmpty() || m_quantityBox->text().isEmpty())
        return;
    m_figures = SaleCompute::compute(m_priceBox->text(), m_quantityBox->text(), m_stock.values);
    m_amountBox->setText(m_figures ? m_figures->amount : QString());
}

void SalePanel::discountChanged()
{
    if (m_discountBox->text().isEmpty() || m_suggestedPriceLabel->text().isEmpty())
        return;
    if (const std::optional<QString> price =
            SaleCompute::discountedPrice(m_discountBox->text(), m_suggestedPriceLabel->text()))
        m_priceBox->setText(*price);
}

void SalePanel::updateAmount()
{
    if (m_priceBox->text().isEmpty() || m_quantityBox->text().isEmpty())
        return;
    // A text that is no number yet ("1.") shows no amount rather than a wrong one.
    m_amountBox->setText(SaleCompute::amountText(m_priceBox->text(), m_quantityBox->text()));
}

void SalePanel::stepDiscount(int direction)
{
    // The discount moves in steps of 5 between 0 and 100.
    const std::optional<double> value = SaleCompute::parseNumber(m_discountBox->text());
    const double whole = value ? std::trunc(*value) : 0.0;
    const double reached = std::clamp(whole + 5.0 * direction, 0.0, 100.0);
    m_discountBox->setText(QString::number(qint64(reached)));
}

void SalePanel::toggleReturn()
{
    if (const std::optional<QString> toggled = SaleCompute::toggledReturn(m_quantityBox->text()))
        m_quantityBox->setText(*toggled);
    else
        checkNumber(m_quantityBox, QStringLiteral("销售数量"));
}

void SalePanel::showStockQuantity(double quantity)
{
    m_stock.values.stock = quantity;
    m_stockBox->setText(NumberFormat::general(quantity));
}

// ---------------------------------------------------------------- orders

void SalePanel::composeOrderNumber()
{
    const QString number = ComposeOrderNumber(Clock::current().today(), m_context.orderCounter());
    // The same number again is no change of the box, but the customer and
    // the ticket of that order are still looked up.
    if (m_orderBox->text() == number)
        lookupOrder();
    else
        m_orderBox->setText(number);
}

bool SalePanel::claimOrderCounter(qint64 wanted)
{
    qint64 counter = wanted;
    bool claimed = true;
    try {
        counter = m_orderCounter.claim(Clock::current().today(), wanted);
    } catch (const DatabaseError &error) {
        Prompter::error(m_parts.window, error.message());
        claimed = false;
    }
    m_context.setOrderCounter(counter);
    m_steppedBack = false;
    return claimed;
}

bool SalePanel::ensureOrderNumberIsOurs()
{
    // A number stepped back to or typed in is the operator's choice.
    const QDate today = Clock::current().today();
    const qint64 counter = m_context.orderCounter();
    if (m_steppedBack || m_orderBox->text() != ComposeOrderNumber(today, counter) ||
        m_orderCounter.holds(today, counter))
        return true;
    if (!claimOrderCounter(counter))
        return false;
    composeOrderNumber();
    return true;
}

void SalePanel::nextOrder()
{
    claimOrderCounter(OrderNumber::next(m_context.orderCounter()));
    composeOrderNumber();
    if (TicketPanel *ticket = m_parts.ticket)
        ticket->cashBox()->setText(QStringLiteral("0"));
}

void SalePanel::previousOrder()
{
    m_context.setOrderCounter(OrderNumber::previous(m_context.orderCounter()));
    m_steppedBack = true;
    composeOrderNumber();
    if (TicketPanel *ticket = m_parts.ticket)
        ticket->cashBox()->setText(QStringLiteral("0"));
}

void SalePanel::lookupOrder()
{
    const QString order = m_orderBox->text().trimmed();
    if (!order.isEmpty()) {
        std::optional<CustomerLookup::Customer> customer;
        try {
            customer = CustomerLookup(m_db).forOrder(order);
        } catch (const DatabaseError &error) {
            Prompter::error(m_parts.window, error.message());
        }
        const CustomerLookup::Customer found = customer.value_or(CustomerLookup::Customer{});
        // The name first: its own lookup must not overwrite the order's
        // address and contact.
        m_customerBox->setEditText(found.name);
        m_addressBox->setText(found.address);
        m_contactBox->setText(found.contact);
        m_remarkBox->setText(found.remark);
    }
    refreshTicket();
}

void SalePanel::lookupCustomer()
{
    const QString name = m_customerBox->currentText().trimmed();
    if (name.isEmpty())
        return;
    std::optional<CustomerLookup::Customer> customer;
    try {
        customer = CustomerLookup(m_db).forName(name);
    } catch (const DatabaseError &error) {
        Prompter::error(m_parts.window, error.message());
    }
    if (customer) {
        m_addressBox->setText(customer->address);
        m_contactBox->setText(customer->contact);
    }
}

void SalePanel::refreshTicket()
{
    TicketPanel *ticket = m_parts.ticket;
    if (!ticket)
        return;
    ticket->setOrderNumber(m_orderBox->text());
    ticket->setCustomerName(m_customerBox->currentText());
    ticket->refresh();
}

// ---------------------------------------------------------------- confirm

bool SalePanel::checkNumber(QLineEdit *box, const QString &caption)
{
    if (SaleCompute::parseNumber(box->text()))
        return true;
    Prompter::warning(m_parts.window,
                      QStringLiteral("%1“%2”不是有效的数字，请重新输入！").arg(caption, box->text()));
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    return false;
}

void SalePanel::confirm()
{
    const QString customer = m_customerBox->currentText();
    const QString quantityMessage = QStringLiteral("销售数量必须输入！");
    if (!CheckRequired(m_quantityBox, quantityMessage) ||
        !checkNumber(m_quantityBox, QStringLiteral("销售数量")))
        return;
    const double quantity = *SaleCompute::parseNumber(m_quantityBox->text());
    if (quantity == 0) {
        Prompter::information(m_parts.window, QStringLiteral("销售数量不能为0"));
        finishConfirmation(customer);
        return;
    }
    // The stock as it stands in the database now, not as the panel read it:
    // another counter may have sold from this row meanwhile.
    std::optional<double> stockNow;
    try {
        stockNow = StockBook(m_db).stockNow(m_stock.id);
    } catch (const DatabaseError &error) {
        Prompter::error(m_parts.window, error.message());
        return;
    }
    if (!stockNow) {
        Prompter::warning(m_parts.window, QStringLiteral("该商品的库存记录已被删除，不能销售。"));
        closePanel();
        return;
    }
    showStockQuantity(*stockNow);
    if (m_stock.values.stock < quantity) {
        Prompter::information(m_parts.window, kStockShort);
        m_quantityBox->setText(m_stockBox->text());
        finishConfirmation(customer);
        return;
    }
    compute();
    if (!CheckRequired(m_priceBox, QStringLiteral("实际销售价必须输入！")) ||
        !checkNumber(m_priceBox, QStringLiteral("实际销售价")) ||
        !CheckRequired(m_quantityBox, quantityMessage) ||
        !CheckRequired(m_debtBox, QStringLiteral("欠款金额必须输入！")) ||
        !checkNumber(m_debtBox, QStringLiteral("欠款金额")))
        return;
    if (isEmptyDate(m_saleDateBox->text())) {
        Prompter::information(m_parts.window, QStringLiteral("销售日期必须输入"));
        return;
    }
    const QDate saleDate = QDate::fromString(m_saleDateBox->text(), ShopContext::dateFormat());
    if (!saleDate.isValid()) {
        Prompter::warning(
            m_parts.window,
            QStringLiteral("销售日期“%1”不是有效的日期，请重新输入！").arg(m_saleDateBox->text()));
        m_saleDateBox->setFocus(Qt::OtherFocusReason);
        return;
    }

    SaleRequest sale;
    sale.stockId = m_stock.id;
    sale.price = *SaleCompute::parseNumber(m_priceBox->text());
    sale.quantity = quantity;
    sale.debt = *SaleCompute::parseNumber(m_debtBox->text());
    sale.customer = customer;
    sale.address = m_addressBox->text();
    sale.contact = m_contactBox->text();
    sale.remark = m_remarkBox->text();
    sale.saleDate = saleDate;
    // After the boxes are read: a new number empties the customer boxes.
    if (!ensureOrderNumberIsOurs())
        return;
    sale.orderNumber = m_orderBox->text();
    StockListView *list = m_parts.stockList;
    const SqlListModel::RowSnapshot listRowBefore =
        list ? list->beforeSale(m_stock.id) : SqlListModel::RowSnapshot();
    SaleBooking booking;
    try {
        booking = SalesLedger(m_db).book(sale);
    } catch (const RefusedValue &error) {
        // Nothing was written; the operator mends the box named.
        Prompter::warning(m_parts.window, error.message());
        const QHash<QString, QWidget *> boxes{
            {QStringLiteral("2"), m_priceBox},    {QStringLiteral("3"), m_quantityBox},
            {QStringLiteral("6"), m_debtBox},     {QStringLiteral("z"), m_orderBox},
            {QStringLiteral("g"), m_customerBox}, {QStringLiteral("h"), m_addressBox},
            {QStringLiteral("i"), m_contactBox},  {QStringLiteral("j"), m_remarkBox}};
        if (QWidget *box = boxes.value(error.column()))
            box->setFocus(Qt::OtherFocusReason);
        return;
    } catch (const DatabaseError &error) {
        // The booking is one transaction: nothing of this sale was written.
        Prompter::error(m_parts.window, error.message());
        return;
    }
    switch (booking.result) {
    case SaleBooking::Result::Booked:
        break;
    case SaleBooking::Result::InsufficientStock:
        // Another counter took the stock between the check and the booking.
        showStockQuantity(booking.stockLeft);
        Prompter::information(m_parts.window, kStockShort);
        m_quantityBox->setText(m_stockBox->text());
        finishConfirmation(customer);
        return;
    case SaleBooking::Result::StockRowGone:
        Prompter::warning(m_parts.window, QStringLiteral("该商品的库存记录已被删除，不能销售。"));
        closePanel();
        return;
    case SaleBooking::Result::ZeroQuantity:
        Prompter::information(m_parts.window, QStringLiteral("销售数量不能为0"));
        finishConfirmation(customer);
        return;
    }

    if (list)
        list->afterSale(listRowBefore);
    m_parts.salePanel->hide();
    m_open = false;
    m_context.showSuccessNotice(kSavedNotice);
    emit saleSaved(m_orderBox->text());
    // The sale adds to the customer list only a customer it lacks; the list
    // is read again as the panel next opens.
    if (m_customerBox->findText(customer) < 0)
        refillCustomers();
    else
        emptyCustomerBox();
    clearInputs();
    emit salesDataChanged();
    finishConfirmation(customer);
}

void SalePanel::finishConfirmation(const QString &customer)
{
    // The customer goes back first, so the ticket names them.
    if (m_customerBox->currentText() != customer)
        m_customerBox->setEditText(customer);
    refreshTicket();
    m_settings.setOrderCounter(m_context.orderCounter());
}
