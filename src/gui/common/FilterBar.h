#pragma once

#include <QList>
#include <QString>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QWidget;

// The search boxes of a list window inside its group: caption and box pairs,
// three to a row, then a date-range check box with its two date boxes and the
// window's buttons. Each window brings its own fields, captions and buttons
// and connects them itself.
class FilterBar
{
public:
    explicit FilterBar(QGroupBox *group);

    // The hint of a text box also shows inside the empty box.
    void setHintsInside(bool inside) { m_hintsInside = inside; }

    QLineEdit *addText(const char *objectName, const QString &caption, const QString &hint = QString());
    // An editable pick list that never adds what is typed to its items.
    QComboBox *addChoice(const char *objectName, const QString &caption);
    // "from ... 至 ... to", both starting today, switched on by the check box.
    void addDateRange(const QString &caption);
    QPushButton *addButton(const char *objectName, const QString &text);
    // Puts the date range and the buttons under the boxes: the buttons beside
    // the dates when the row has room for them, on a row of their own when not.
    void finish();

    QCheckBox *dateRangeBox() const { return m_dateRangeBox; }
    QDateEdit *firstDateBox() const { return m_firstDateBox; }
    QDateEdit *lastDateBox() const { return m_lastDateBox; }

    // A caption right-aligned before its box; the buddy takes the focus of its
    // mnemonic.
    static QLabel *caption(const QString &text, QWidget *buddy, QWidget *parent);

private:
    void place(QWidget *box, const QString &caption);

    QGroupBox *m_group;
    QGridLayout *m_grid;
    int m_boxes = 0;
    bool m_hintsInside = false;
    QCheckBox *m_dateRangeBox = nullptr;
    QDateEdit *m_firstDateBox = nullptr;
    QDateEdit *m_lastDateBox = nullptr;
    QList<QPushButton *> m_buttons;
};
