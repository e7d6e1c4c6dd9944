#include "DataGridFooter.h"

#include "Contrast.h"
#include "DataGrid.h"
#include "GroupedHeaderView.h"

#include <QPainter>
#include <QTableView>

DataGridFooter::DataGridFooter(DataGrid *grid) : QWidget(grid), m_grid(grid)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void DataGridFooter::setBackground(const QColor &colour)
{
    m_background = colour;
    update();
}

QColor DataGridFooter::textColour() const
{
    // The footer keeps its own light orange in every skin; a skin's light text
    // colour would vanish on it.
    return Contrast::readable(palette().color(QPalette::WindowText), m_background);
}

QSize DataGridFooter::sizeHint() const
{
    return QSize(100, fontMetrics().height() + 8);
}

void DataGridFooter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    const QTableView *view = m_grid->view();
    const QHeaderView *header = view->horizontalHeader();
    // Column positions are in the view's viewport; map that origin here.
    const int originX = view->viewport()->mapTo(m_grid, QPoint(0, 0)).x() - mapTo(m_grid, QPoint(0, 0)).x();
    painter.setClipRect(originX, 0, view->viewport()->width(), height());
    const QColor line = palette().color(QPalette::Mid);
    for (int column = 0; column < header->count(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        const QRect cell(originX + header->sectionViewportPosition(column), 0, header->sectionSize(column),
                         height());
        painter.setPen(line);
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
        const QString text = m_grid->footerText(column);
        if (text.isEmpty())
            continue;
        painter.setPen(textColour());
        // A total wider than its column is set smaller: a cut total reads as
        // another number.
        const QRect room = cell.adjusted(3, 0, -3, 0);
        const double wide = fontMetrics().horizontalAdvance(text);
        QFont shown = font();
        if (wide > room.width() && room.width() > 0) {
            const double factor = room.width() / wide * 0.97;
            if (shown.pixelSize() > 0)
                shown.setPixelSize(std::max(1, int(shown.pixelSize() * factor)));
            else
                shown.setPointSizeF(shown.pointSizeF() * factor);
        }
        painter.setFont(shown);
        painter.drawText(
            room, static_cast<int>(m_grid->columns().at(column).footerAlignment | Qt::AlignVCenter), text);
    }
}
