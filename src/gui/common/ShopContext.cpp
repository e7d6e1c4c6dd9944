#include "ShopContext.h"

#include "data/Clock.h"
#include "data/SettingsStore.h"

#include <QLineEdit>
#include <QTimer>

namespace {

// A date box showing the empty mask "    -  -  " (or nothing at all).
bool isEmptyDate(const QLineEdit *box)
{
    QString digits = box->text();
    digits.remove(QLatin1Char('-'));
    return digits.trimmed().isEmpty();
}

} // namespace

ShopContext::ShopContext(Database &db, SettingsStore &settings, QObject *parent)
    : QObject(parent), m_db(db), m_settings(settings), m_receiptTexts(ReceiptTexts::defaults)
{
    setObjectName(QStringLiteral("shopContext"));
    m_dateGuard = new QTimer(this);
    m_dateGuard->setObjectName(QStringLiteral("dateGuard"));
    m_dateGuard->setInterval(DateGuardMilliseconds);
    connect(m_dateGuard, &QTimer::timeout, this, &ShopContext::checkDateBoxes);
    m_dateGuard->start();
}

QString ShopContext::todayText()
{
    return Clock::current().today().toString(dateFormat());
}

void ShopContext::applyRestrictedMode()
{
    m_restricted = true;
    if (m_saleDateBox)
        m_saleDateBox->setReadOnly(true);
    emit restrictedModeApplied();
}

void ShopContext::loadStoredValues()
{
    QList<QLatin1String> salesFlags = SettingsStore::salesColumnFlags();
    salesFlags.append(SettingsStore::Keys::ShowSalesOrderNumber);
    for (const QLatin1String &flag : std::as_const(salesFlags)) {
        if (const std::optional<bool> hidden = m_settings.columnHidden(QString(flag)))
            m_salesColumnHidden.insert(QString(flag), *hidden);
    }
    if (m_settings.keyExists()) {
        m_orderCounter = m_settings.nextOrderCounter();
        m_lastSaleDate = m_settings.lastSaleDate();
        m_company = m_settings.company();
        m_address = m_settings.address();
    }
}

std::optional<bool> ShopContext::storedSalesColumnHidden(const QString &flag) const
{
    const auto found = m_salesColumnHidden.constFind(flag);
    if (found == m_salesColumnHidden.constEnd())
        return std::nullopt;
    return *found;
}

ReceiptTexts ShopContext::receiptTexts() const
{
    return m_receiptTexts();
}

void ShopContext::registerDateBox(QLineEdit *box)
{
    if (!box || m_dateBoxes.contains(box))
        return;
    m_dateBoxes.append(box);
    if (isEmptyDate(box))
        box->setText(todayText());
}

void ShopContext::registerSaleDateBox(QLineEdit *box)
{
    registerDateBox(box);
    m_saleDateBox = box;
    if (m_restricted && box)
        box->setReadOnly(true);
}

QString ShopContext::saleDateText() const
{
    return m_saleDateBox ? m_saleDateBox->text() : todayText();
}

void ShopContext::fillDateBoxes()
{
    for (const QPointer<QLineEdit> &box : std::as_const(m_dateBoxes)) {
        if (box)
            box->setText(todayText());
    }
}

void ShopContext::checkDateBoxes()
{
    m_dateBoxes.removeAll(nullptr);
    for (const QPointer<QLineEdit> &box : std::as_const(m_dateBoxes)) {
        if (isEmptyDate(box))
            box->setText(todayText());
    }
}
