#pragma once

#include <QHeaderView>

// The title row of a data grid: two lines per column, where adjacent visible
// columns with the same upper title share one upper cell painted across the
// group, each group in its own colours, with the column's sort marker.
class GroupedHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    explicit GroupedHeaderView(QWidget *parent = nullptr);

    // The keyboard modifiers of the last click on a title (Ctrl keeps the
    // other columns' sort markers).
    Qt::KeyboardModifiers lastClickModifiers() const { return m_modifiers; }

    // Visual range [first, last] of the group that column belongs to.
    std::pair<int, int> groupRange(int logicalIndex) const;
    // The upper band of column's group in header coordinates.
    QRect upperBandRect(int logicalIndex) const;

    QSize sizeHint() const override;
    // False when no column has an upper title: the header is one line high.
    bool hasUpperBand() const;

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString upperTitle(int logicalIndex) const;
    int lineHeight() const;

    Qt::KeyboardModifiers m_modifiers;
};
