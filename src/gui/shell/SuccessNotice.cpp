#include "SuccessNotice.h"

#include <QTimer>

SuccessNotice::SuccessNotice(QWidget *parent) : QLabel(parent), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("successNotice"));
    setAlignment(Qt::AlignCenter);
    setMargin(6);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    m_timer->setInterval(DisplayMilliseconds);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &SuccessNotice::expire);
    hide();
}

void SuccessNotice::showNotice(const QString &text)
{
    // The window system's "hot-light" (link) colour is the highlight of the
    // palette in force; a skin may change it, so it is taken at every show.
    const QColor back = palette().color(QPalette::Active, QPalette::Highlight);
    setStyleSheet(QStringLiteral("QLabel#successNotice { background-color: %1; color: #ffffff; "
                                 "border: 1px solid %2; border-radius: 3px; }")
                      .arg(back.name(), back.darker(130).name()));
    setText(text);
    adjustSize();
    show();
    raise();
    m_timer->start();
}

void SuccessNotice::expire()
{
    m_timer->stop();
    hide();
}
