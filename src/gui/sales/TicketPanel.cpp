#include "TicketPanel.h"

#include "ReceiptPrinter.h"
#include "common/DataGrid.h"
#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/Money.h"
#include "data/QueryHelpers.h"
#include "data/SqlListModel.h"
#include "sales/ReceiptLayout.h"
#include "sales/Ticket.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kCustomerCaption = QStringLiteral("客户名称：");

QList<DataGridColumn> ticketColumns(const QString &orderNumber)
{
    auto column = [](const QString &field, const QString &title, int width) {
        DataGridColumn c;
        c.field = field;
        c.lowerTitle = title;
        c.width = width;
        return c;
    };
    DataGridColumn name = column(QStringLiteral("a"), QStringLiteral("商品名称"), 150);
    name.footer = DataGridColumn::Footer::Text;
    name.footerText = QStringLiteral("销售单号：");
    DataGridColumn spec = column(QStringLiteral("b"), QStringLiteral("规格型号"), 110);
    spec.footer = DataGridColumn::Footer::Text;
    spec.footerText = orderNumber;
    spec.footerAlignment = Qt::AlignLeft;
    DataGridColumn quantity = column(QStringLiteral("3"), QStringLiteral("数量"), 60);
    quantity.alignment = Qt::AlignRight;
    quantity.footer = DataGridColumn::Footer::Sum;
    DataGridColumn price = column(QStringLiteral("2"), QStringLiteral("单价"), 70);
    price.alignment = Qt::AlignRight;
    DataGridColumn amount = column(QStringLiteral("4"), QStringLiteral("金额"), 80);
    amount.alignment = Qt::AlignRight;
    amount.footer = DataGridColumn::Footer::Sum;
    amount.money = true;
    return {name, spec, quantity, price, amount};
}

QLineEdit *moneyBox(const char *objectName, const QString &text, bool readOnly, QWidget *parent)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(objectName));
    box->setReadOnly(readOnly);
    box->setAlignment(Qt::AlignRight);
    box->setFixedWidth(90);
    return box;
}

} // namespace

TicketPanel::~TicketPanel()
{
    // The focused cash box reports editingFinished while the children are
    // being destroyed; by then this panel is no longer there to answer it.
    disconnect(m_cashBox, nullptr, this, nullptr);
}

TicketPanel::TicketPanel(const Database &db, QWidget *parent) : QWidget(parent), m_db(db)
{
    setObjectName(QStringLiteral("ticketPanel"));
    m_customerLabel = new QLabel(kCustomerCaption, this);
    m_customerLabel->setObjectName(QStringLiteral("ticketCustomerLabel"));

    m_lines = new SqlListModel(db, this);
    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("ticketGrid"));
    m_grid->setColumns(ticketColumns(QString()));
    m_grid->setListModel(m_lines);

    m_totalBox = moneyBox("ticketTotalEdit", QStringLiteral("0"), true, this);
    // Digits, "." and the editing keys only; Enter goes on to the printing.
    m_cashBox = moneyBox("ticketCashEdit", QString(), false, this);
    m_cashBox->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), m_cashBox));
    m_changeBox = moneyBox("ticketChangeEdit", QStringLiteral("0"), true, this);

    m_printButton = new QPushButton(QStringLiteral("POS小票打印"), this);
    m_printButton->setObjectName(QStringLiteral("posPrintButton"));
    m_previousButton = new QPushButton(QStringLiteral("上一单"), this);
    m_previousButton->setObjectName(QStringLiteral("previousOrderButton"));
    m_nextButton = new QPushButton(QStringLiteral("下一单"), this);
    m_nextButton->setObjectName(QStringLiteral("nextOrderButton"));
    m_documentButton = new QPushButton(QStringLiteral("销售单打印"), this);
    m_documentButton->setObjectName(QStringLiteral("orderDocumentButton"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(m_customerLabel);
    layout->addWidget(m_grid, 1);
    auto *money = new QHBoxLayout;
    auto caption = [this](const QString &text) { return new QLabel(text, this); };
    money->addWidget(caption(QStringLiteral("合计：")));
    money->addWidget(m_totalBox);
    money->addSpacing(8);
    money->addWidget(caption(QStringLiteral("现金：")));
    money->addWidget(m_cashBox);
    money->addSpacing(8);
    money->addWidget(caption(QStringLiteral("找零：")));
    money->addWidget(m_changeBox);
    money->addStretch(1);
    layout->addLayout(money);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_printButton);
    buttons->addStretch(1);
    buttons->addWidget(m_previousButton);
    buttons->addWidget(m_nextButton);
    buttons->addStretch(1);
    buttons->addWidget(m_documentButton);
    layout->addLayout(buttons);

    connect(m_cashBox, &QLineEdit::textChanged, this, &TicketPanel::updateChange);
    connect(m_cashBox, &QLineEdit::editingFinished, this, &TicketPanel::updateChange);
    connect(m_totalBox, &QLineEdit::textChanged, this, &TicketPanel::updateChange);
    connect(m_cashBox, &QLineEdit::returnPressed, m_printButton, [this] { m_printButton->setFocus(); });
    connect(m_printButton, &QPushButton::clicked, this, &TicketPanel::printReceipt);
    connect(m_previousButton, &QPushButton::clicked, this, &TicketPanel::previousOrderRequested);
    connect(m_nextButton, &QPushButton::clicked, this, &TicketPanel::nextOrderRequested);
    connect(m_documentButton, &QPushButton::clicked, this, &TicketPanel::requestOrderDocument);
}

void TicketPanel::setOrderNumber(const QString &orderNumber)
{
    m_orderNumber = orderNumber;
}

void TicketPanel::setCustomerName(const QString &customer)
{
    m_customer = customer;
}

void TicketPanel::setCashierSource(std::function<QString()> cashier)
{
    m_cashier = std::move(cashier);
}

void TicketPanel::setTextsSource(std::function<ReceiptTexts()> texts)
{
    m_texts = std::move(texts);
}

void TicketPanel::refresh()
{
    m_lines->setQuery(Ticket::listQuery(m_orderNumber));
    if (!m_lines->errorText().isEmpty())
        Prompter::error(this, m_lines->errorText());
    const QVariant sum = m_lines->sum(QStringLiteral("4"));
    m_totalBox->setText(Money::text(sum.isNull() ? 0.0 : sum.toDouble()));
    setFooterOrderNumber();
    m_customerLabel->setText(kCustomerCaption + m_customer);
    m_grid->fitColumns();
}

void TicketPanel::setFooterOrderNumber()
{
    // The footer under "规格型号" names the order the lines belong to.
    QList<DataGridColumn> columns = m_grid->columns();
    const int spec = m_grid->columnOfField(QStringLiteral("b"));
    if (spec < 0 || columns.at(spec).footerText == m_orderNumber)
        return;
    columns[spec].footerText = m_orderNumber;
    m_grid->setColumns(columns);
}

void TicketPanel::updateChange()
{
    if (m_cashBox->text().isEmpty())
        return;
    if (const std::optional<QString> change = Ticket::changeText(m_cashBox->text(), m_totalBox->text()))
        m_changeBox->setText(*change);
}

void TicketPanel::printReceipt()
{
    // A line corrected or deleted elsewhere since the last refresh changes
    // the total the checks and the receipt go by.
    refresh();
    const Ticket::PrintCheck check = Ticket::checkBeforePrinting(m_totalBox->text(), m_cashBox->text());
    if (check != Ticket::PrintCheck::Ready) {
        Prompter::information(this, Ticket::message(check));
        if (check == Ticket::PrintCheck::CashMissing || check == Ticket::PrintCheck::CashInvalid)
            m_cashBox->setFocus();
        return;
    }
    printReceiptWithoutChecks();
}

void TicketPanel::requestOrderDocument()
{
    // A ticket whose lines cancel out reads "0" as well: nothing to hand over.
    const std::optional<double> total = Ticket::parseAmount(m_totalBox->text());
    if (!total || Money::roundToCents(*total) == 0) {
        Prompter::information(this, Ticket::message(Ticket::PrintCheck::NothingSold));
        return;
    }
    emit orderDocumentRequested();
}

bool TicketPanel::printReceiptWithoutChecks()
{
    const ReceiptTexts texts = m_texts ? m_texts() : ReceiptTexts::defaults();
    ReceiptData data;
    data.title = texts.receiptTitle;
    data.slogan1 = texts.receiptSlogan1;
    data.slogan2 = texts.receiptSlogan2;
    data.closing = texts.receiptClosing;
    data.orderNumber = m_orderNumber;
    data.cashier = m_cashier ? m_cashier() : QString();
    data.printedAt = Clock::current().now();
    try {
        // The lines are read again, so the receipt shows what is booked now,
        // and its total and change follow from the very lines it prints.
        data.lines = Ticket(m_db).lines(m_orderNumber);
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return false;
    }
    const double total = Ticket::total(data.lines);
    data.totalText = Money::text(total);
    data.cash = Ticket::parseAmount(m_cashBox->text()).value_or(0);
    data.change = Money::roundToCents(data.cash - total);
    // The box shows what the paper says.
    m_totalBox->setText(data.totalText);
    const QString failure = ReceiptPrinter::print(ReceiptLayout::lines(data));
    if (!failure.isEmpty()) {
        Prompter::warning(this, failure);
        return false;
    }
    // The printed ticket leaves the list (the total stays); the next refresh
    // brings it back.
    m_lines->clear();
    return true;
}
