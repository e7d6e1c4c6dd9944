#include "ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace {

constexpr int kSize = 32;

void drawNewStock(QPainter &p)
{
    // A parcel with a green plus.
    p.setPen(QPen(QColor(120, 78, 30), 1.5));
    p.setBrush(QColor(214, 160, 90));
    p.drawRect(QRectF(3, 10, 20, 18));
    p.setBrush(QColor(236, 190, 120));
    QPolygonF lid({QPointF(3, 10), QPointF(8, 4), QPointF(28, 4), QPointF(23, 10)});
    p.drawPolygon(lid);
    p.drawLine(QPointF(13, 10), QPointF(13, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 160, 70));
    p.drawEllipse(QRectF(17, 16, 14, 14));
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 19), QPointF(24, 27));
    p.drawLine(QPointF(20, 23), QPointF(28, 23));
}

void drawSalesDetail(QPainter &p)
{
    // A sheet with lines and a coin.
    p.setPen(QPen(QColor(70, 90, 120), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 3, 19, 26));
    p.setPen(QPen(QColor(60, 120, 200), 2));
    for (int y = 9; y <= 23; y += 5)
        p.drawLine(QPointF(9, y), QPointF(20, y));
    p.setPen(QPen(QColor(170, 120, 0), 1.5));
    p.setBrush(QColor(250, 200, 40));
    p.drawEllipse(QRectF(17, 17, 13, 13));
    p.setPen(QPen(QColor(150, 100, 0), 1.5));
    p.drawText(QRectF(17, 17, 13, 13), Qt::AlignCenter, QStringLiteral("¥"));
}

void drawTicketPrint(QPainter &p)
{
    // A printer with a receipt coming out.
    p.setPen(QPen(QColor(80, 80, 80), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 10));
    p.setBrush(QColor(120, 130, 145));
    p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 19, 14, 11));
    p.setPen(QPen(QColor(60, 120, 200), 1.5));
    p.drawLine(QPointF(12, 23), QPointF(20, 23));
    p.drawLine(QPointF(12, 26), QPointF(18, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 90));
    p.drawEllipse(QRectF(24, 14, 3, 3));
}

void drawSummary(QPainter &p)
{
    // A bar chart.
    p.setPen(QPen(QColor(70, 70, 70), 1.5));
    p.drawLine(QPointF(4, 28), QPointF(29, 28));
    p.drawLine(QPointF(4, 28), QPointF(4, 3));
    p.setPen(Qt::NoPen);
    const QColor colours[] = {QColor(60, 120, 200), QColor(230, 120, 40), QColor(40, 160, 70),
                              QColor(200, 60, 60)};
    const qreal heights[] = {10, 18, 13, 22};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colours[i]);
        p.drawRect(QRectF(7 + i * 5.5, 27 - heights[i], 4.5, heights[i]));
    }
}

void drawBackup(QPainter &p)
{
    // A database cylinder with a green arrow.
    p.setPen(QPen(QColor(40, 80, 130), 1.5));
    p.setBrush(QColor(110, 160, 220));
    p.drawRect(QRectF(4, 8, 18, 18));
    p.drawEllipse(QRectF(4, 22, 18, 8));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(4.8, 10, 16.4, 16));
    p.setPen(QPen(QColor(40, 80, 130), 1.5));
    p.setBrush(QColor(170, 205, 245));
    p.drawEllipse(QRectF(4, 4, 18, 8));
    p.setPen(QPen(QColor(40, 160, 70), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(26, 10), QPointF(26, 26));
    p.drawLine(QPointF(21, 21), QPointF(26, 26));
    p.drawLine(QPointF(31, 21), QPointF(26, 26));
}

void drawSettings(QPainter &p)
{
    // A gear.
    const QPointF centre(16, 16);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal angle = i * M_PI / teeth;
        const qreal radius = (i % 2 == 0) ? 14 : 10.5;
        const qreal half = M_PI / teeth / 2;
        const QPointF a = centre + QPointF(radius * qCos(angle - half), radius * qSin(angle - half));
        const QPointF b = centre + QPointF(radius * qCos(angle + half), radius * qSin(angle + half));
        if (i == 0)
            gear.moveTo(a);
        else
            gear.lineTo(a);
        gear.lineTo(b);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 4.5, 4.5);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(QPen(QColor(70, 75, 85), 1.2));
    p.setBrush(QColor(150, 158, 170));
    p.drawPath(gear);
}

void drawSupport(QPainter &p)
{
    // A question mark in a blue circle.
    p.setPen(QPen(QColor(30, 90, 170), 1.5));
    p.setBrush(QColor(70, 140, 230));
    p.drawEllipse(QRectF(2, 2, 28, 28));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(20);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, QStringLiteral("?"));
}

} // namespace

namespace ToolIcons {

QIcon icon(Kind kind)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case Kind::NewStock:
        drawNewStock(painter);
        break;
    case Kind::SalesDetail:
        drawSalesDetail(painter);
        break;
    case Kind::TicketPrint:
        drawTicketPrint(painter);
        break;
    case Kind::Summary:
        drawSummary(painter);
        break;
    case Kind::Backup:
        drawBackup(painter);
        break;
    case Kind::Settings:
        drawSettings(painter);
        break;
    case Kind::Support:
        drawSupport(painter);
        break;
    }
    painter.end();
    return QIcon(pixmap);
}

} // namespace ToolIcons
