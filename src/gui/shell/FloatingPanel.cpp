#include "FloatingPanel.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The small red close picture drawn in code, so it looks the same under
// every skin.
QIcon closePicture()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(150, 30, 30), 1));
    painter.setBrush(QColor(215, 60, 50));
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(5, 5), QPointF(11, 11));
    painter.drawLine(QPointF(11, 5), QPointF(5, 11));
    return QIcon(pixmap);
}

} // namespace

FloatingPanel::FloatingPanel(const QString &objectName, const QString &title, QWidget *parent)
    : QFrame(parent), m_content(new QWidget(this)), m_closeButton(new QToolButton(this))
{
    setObjectName(objectName);
    setProperty("floatingPanel", true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    auto *caption = new QLabel(title, this);
    caption->setObjectName(objectName + QStringLiteral("Caption"));
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    // Presses on the caption drag the panel like its background does.
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(caption);
    m_content->setObjectName(objectName + QStringLiteral("Content"));
    layout->addWidget(m_content, 1);

    m_closeButton->setObjectName(objectName + QStringLiteral("Close"));
    m_closeButton->setIcon(closePicture());
    m_closeButton->setIconSize(QSize(16, 16));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setCursor(Qt::PointingHandCursor);
    m_closeButton->setToolTip(QStringLiteral("关闭"));
    m_closeButton->setFocusPolicy(Qt::NoFocus);
    connect(m_closeButton, &QToolButton::clicked, this, [this] {
        hide();
        emit closed();
    });
    setCursor(Qt::SizeAllCursor);
    m_content->setCursor(Qt::ArrowCursor);
    hide();
}

void FloatingPanel::toggle()
{
    setVisible(!isVisible());
    if (isVisible())
        raise();
}

void FloatingPanel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_grabOffset = event->position().toPoint();
    raise();
    event->accept();
}

void FloatingPanel::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !parentWidget()) {
        QFrame::mouseMoveEvent(event);
        return;
    }
    QPoint target = mapToParent(event->position().toPoint()) - m_grabOffset;
    // Keep the close picture reachable: the panel may not leave its window.
    const QRect area = parentWidget()->rect();
    target.setX(std::clamp(target.x(), 0, std::max(0, area.width() - width())));
    target.setY(std::clamp(target.y(), 0, std::max(0, area.height() - height())));
    move(target);
    event->accept();
}

void FloatingPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QFrame::mouseReleaseEvent(event);
}

void FloatingPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    placeCloseButton();
}

void FloatingPanel::placeCloseButton()
{
    m_closeButton->adjustSize();
    m_closeButton->move(width() - m_closeButton->width() - 3, 3);
    m_closeButton->raise();
}
