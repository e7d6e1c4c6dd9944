#include "FilterBar.h"

#include "ShopContext.h"

#include "data/Clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int PairsPerRow = 3;

} // namespace

FilterBar::FilterBar(QGroupBox *group) : m_group(group), m_grid(new QGridLayout(group))
{
    m_grid->setContentsMargins(6, 4, 6, 4);
    m_grid->setHorizontalSpacing(4);
    m_grid->setVerticalSpacing(4);
}

QLabel *FilterBar::caption(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void FilterBar::place(QWidget *box, const QString &caption)
{
    const int row = m_boxes / PairsPerRow;
    const int column = 2 * (m_boxes % PairsPerRow);
    m_grid->addWidget(FilterBar::caption(caption, box, m_group), row, column);
    m_grid->addWidget(box, row, column + 1);
    ++m_boxes;
}

QLineEdit *FilterBar::addText(const char *objectName, const QString &caption, const QString &hint)
{
    auto *box = new QLineEdit(m_group);
    box->setObjectName(QLatin1String(objectName));
    box->setToolTip(hint);
    if (m_hintsInside)
        box->setPlaceholderText(hint);
    place(box, caption);
    return box;
}

QComboBox *FilterBar::addChoice(const char *objectName, const QString &caption)
{
    auto *box = new QComboBox(m_group);
    box->setObjectName(QLatin1String(objectName));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(20);
    place(box, caption);
    return box;
}

void FilterBar::addDateRange(const QString &caption)
{
    m_dateRangeBox = new QCheckBox(caption, m_group);
    m_dateRangeBox->setObjectName(QStringLiteral("dateRangeBox"));
    auto dateBox = [this](const char *name) {
        auto *box = new QDateEdit(Clock::current().today(), m_group);
        box->setObjectName(QLatin1String(name));
        box->setDisplayFormat(ShopContext::dateFormat());
        box->setCalendarPopup(true);
        return box;
    };
    m_firstDateBox = dateBox("firstDateBox");
    m_lastDateBox = dateBox("lastDateBox");
}

QPushButton *FilterBar::addButton(const char *objectName, const QString &text)
{
    auto *button = new QPushButton(text, m_group);
    button->setObjectName(QLatin1String(objectName));
    button->setAutoDefault(false);
    m_buttons << button;
    return button;
}

void FilterBar::finish()
{
    int row = (m_boxes + PairsPerRow - 1) / PairsPerRow;
    if (m_dateRangeBox) {
        auto *dates = new QHBoxLayout;
        dates->setSpacing(4);
        dates->addWidget(m_firstDateBox, 1);
        dates->addWidget(new QLabel(QStringLiteral("至"), m_group));
        dates->addWidget(m_lastDateBox, 1);
        m_grid->addWidget(m_dateRangeBox, row, 0, Qt::AlignRight);
        m_grid->addLayout(dates, row, 1, 1, 3);
    }
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    for (QPushButton *button : std::as_const(m_buttons))
        buttons->addWidget(button);
    // Three buttons fit beside the dates; more take a row of their own.
    if (m_dateRangeBox && m_buttons.size() <= 3) {
        m_grid->addLayout(buttons, row, 4, 1, 2);
    } else {
        if (m_dateRangeBox)
            ++row;
        m_grid->addLayout(buttons, row, 0, 1, 2 * PairsPerRow);
    }
    for (int column = 1; column < 2 * PairsPerRow; column += 2)
        m_grid->setColumnStretch(column, 1);
}
