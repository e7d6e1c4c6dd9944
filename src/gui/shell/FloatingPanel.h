#pragma once

#include <QFrame>
#include <QPoint>

class QToolButton;

// A panel that floats over the stock list inside the main window (stock
// entry, sale, ticket): dragged by its background, closed by the small
// picture in its top-right corner.
class FloatingPanel : public QFrame
{
    Q_OBJECT
public:
    // objectName is the panel's component name ("Panel3", "Panel1", "Panel5").
    FloatingPanel(const QString &objectName, const QString &title, QWidget *parent);

    // The area for the panel's own controls, below the title line.
    QWidget *content() const { return m_content; }
    QToolButton *closeButton() const { return m_closeButton; }
    // Shows the panel on top, or hides it when shown ("单据打印", "预览").
    void toggle();

signals:
    // The close picture was pressed; the panel is already hidden. The owner
    // of the panel's contents clears its boxes here.
    void closed();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void placeCloseButton();

    QWidget *m_content;
    QToolButton *m_closeButton;
    bool m_dragging = false;
    QPoint m_grabOffset;
};
