#include "FieldHelpers.h"

#include "common/Prompter.h"
#include "data/QueryHelpers.h"

#include <QComboBox>
#include <QLineEdit>

namespace {
bool checkText(QWidget *box, const QString &text, const QString &message)
{
    if (!text.trimmed().isEmpty())
        return true;
    Prompter::warning(box ? box->window() : nullptr, message);
    if (box)
        box->setFocus(Qt::OtherFocusReason);
    return false;
}
} // namespace

bool CheckRequired(QLineEdit *box, const QString &message)
{
    return checkText(box, box->text(), message);
}

bool CheckRequired(QComboBox *box, const QString &message)
{
    return checkText(box, box->currentText(), message);
}

void FillWithDistinctValues(QComboBox *box, const Database &db, const QString &column, const QString &table)
{
    FillWithValues(box, DistinctValues(db, column, table));
}

void FillWithValues(QComboBox *box, const QStringList &values)
{
    box->clear();
    box->addItems(values);
    box->setCurrentIndex(-1);
    if (box->isEditable())
        box->setEditText(QString());
}
