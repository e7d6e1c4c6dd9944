#pragma once

#include <QColor>
#include <QWidget>

class DataGrid;

// The totals row under a data grid, its cells lined up with the columns.
class DataGridFooter : public QWidget
{
    Q_OBJECT

public:
    explicit DataGridFooter(DataGrid *grid);

    void setBackground(const QColor &colour);
    QColor background() const { return m_background; }
    // The totals' colour: the skin's text colour, darkened where it would not
    // stand out from the footer's background.
    QColor textColour() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    DataGrid *m_grid;
    QColor m_background{255, 194, 134};
};
