#pragma once

#include <QString>
#include <QStringList>

class Database;
class QComboBox;
class QLineEdit;

// The required-field checks and the distinct-value lists every entry window
// uses.

// True when the box holds something besides blanks. Otherwise the message is
// shown in a warning with one OK button, the box gets the focus, and the
// result is false. The box's text is never changed. Chain several with && so
// only the first empty box is reported.
bool CheckRequired(QLineEdit *box, const QString &message);
bool CheckRequired(QComboBox *box, const QString &message);

// Refills the drop-down list with the distinct values of one column in
// ascending order (a null as one empty entry); the box's text stays empty.
void FillWithDistinctValues(QComboBox *box, const Database &db, const QString &column, const QString &table);

// Refills the drop-down list with the given values; the box's text stays empty.
void FillWithValues(QComboBox *box, const QStringList &values);
