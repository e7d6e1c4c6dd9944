#include "GroupedHeaderView.h"

#include "DataGridModel.h"
#include "data/GridLayoutStore.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

GroupedHeaderView::GroupedHeaderView(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSectionsMovable(true);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setDefaultAlignment(Qt::AlignCenter);
}

int GroupedHeaderView::lineHeight() const
{
    return fontMetrics().height() + 6;
}

QSize GroupedHeaderView::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight((hasUpperBand() ? 2 : 1) * lineHeight());
    return size;
}

bool GroupedHeaderView::hasUpperBand() const
{
    // A grid whose columns have no upper titles (the ticket) gives the empty
    // band's line to its rows.
    for (int l = 0; l < count(); ++l) {
        if (!upperTitle(l).isEmpty())
            return true;
    }
    return false;
}

QString GroupedHeaderView::upperTitle(int logicalIndex) const
{
    return model()
               ? model()->headerData(logicalIndex, Qt::Horizontal, DataGridModel::UpperTitleRole).toString()
               : QString();
}

std::pair<int, int> GroupedHeaderView::groupRange(int logicalIndex) const
{
    const int visual = visualIndex(logicalIndex);
    const QString title = upperTitle(logicalIndex);
    int first = visual;
    int last = visual;
    // Hidden columns are skipped: the visible neighbours on either side of a
    // hidden one still form one group.
    for (int v = visual - 1; v >= 0; --v) {
        const int l = QHeaderView::logicalIndex(v);
        if (isSectionHidden(l))
            continue;
        if (upperTitle(l) != title)
            break;
        first = v;
    }
    for (int v = visual + 1; v < count(); ++v) {
        const int l = QHeaderView::logicalIndex(v);
        if (isSectionHidden(l))
            continue;
        if (upperTitle(l) != title)
            break;
        last = v;
    }
    return {first, last};
}

QRect GroupedHeaderView::upperBandRect(int logicalIndex) const
{
    const auto [first, last] = groupRange(logicalIndex);
    const int firstLogical = QHeaderView::logicalIndex(first);
    const int lastLogical = QHeaderView::logicalIndex(last);
    const int left = sectionViewportPosition(firstLogical);
    const int right = sectionViewportPosition(lastLogical) + sectionSize(lastLogical);
    return QRect(left, 0, right - left, height() / 2);
}

void GroupedHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    if (!rect.isValid() || !model())
        return;
    const QColor background =
        model()->headerData(logicalIndex, Qt::Horizontal, Qt::BackgroundRole).value<QColor>();
    const QColor text = model()->headerData(logicalIndex, Qt::Horizontal, Qt::ForegroundRole).value<QColor>();
    const QColor line = palette().color(QPalette::Mid);
    const int half = hasUpperBand() ? rect.height() / 2 : 0;

    painter->save();
    // Every member of a group paints the whole shared band, so any partial
    // repaint shows the same cell.
    if (half > 0) {
        QRect upper = upperBandRect(logicalIndex);
        upper.setHeight(half);
        painter->fillRect(upper, background);
        painter->setPen(line);
        painter->drawRect(upper.adjusted(0, 0, -1, -1));
        painter->setPen(text);
        painter->drawText(upper, Qt::AlignCenter, upperTitle(logicalIndex));
    }

    const QRect lower(rect.left(), rect.top() + half, rect.width(), rect.height() - half);
    painter->fillRect(lower, background);
    painter->setPen(line);
    painter->drawRect(lower.adjusted(0, 0, -1, -1));
    painter->setPen(text);
    painter->drawText(lower, Qt::AlignCenter,
                      model()->headerData(logicalIndex, Qt::Horizontal, Qt::DisplayRole).toString());

    const int marker =
        model()->headerData(logicalIndex, Qt::Horizontal, DataGridModel::SortMarkerRole).toInt();
    if (marker != ColumnLayout::NoSort) {
        const int size = std::max(4, lower.height() / 4);
        const QPointF centre(lower.right() - size - 3, lower.center().y());
        QPainterPath triangle;
        if (marker == ColumnLayout::Descending) { // the "down" marker
            triangle.moveTo(centre.x() - size, centre.y() - size / 2.0);
            triangle.lineTo(centre.x() + size, centre.y() - size / 2.0);
            triangle.lineTo(centre.x(), centre.y() + size / 2.0);
        } else {
            triangle.moveTo(centre.x() - size, centre.y() + size / 2.0);
            triangle.lineTo(centre.x() + size, centre.y() + size / 2.0);
            triangle.lineTo(centre.x(), centre.y() - size / 2.0);
        }
        triangle.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(triangle, text);
    }
    painter->restore();
}

void GroupedHeaderView::mousePressEvent(QMouseEvent *event)
{
    m_modifiers = event->modifiers();
    QHeaderView::mousePressEvent(event);
}

void GroupedHeaderView::mouseReleaseEvent(QMouseEvent *event)
{
    m_modifiers = event->modifiers();
    QHeaderView::mouseReleaseEvent(event);
}
