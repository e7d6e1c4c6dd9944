#include "ShowOrCreateWindow.h"

#include <QApplication>

namespace {

const char *const kClosedForDeletion = "lwjxcClosedForDeletion";

// A window that closed itself and waits for its deletion is gone for the
// operator; showing it again would lose it a moment later. Qt clears
// WA_DeleteOnClose once the close has gone through, so the mark is taken
// when such a window is hidden.
class ClosingWatcher : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (auto *widget = qobject_cast<QWidget *>(watched)) {
            // Minimizing hides a window too, but spontaneously (the window
            // system did it); a close hides it from within the program.
            if (event->type() == QEvent::Hide && !event->spontaneous() &&
                widget->testAttribute(Qt::WA_DeleteOnClose))
                widget->setProperty(kClosedForDeletion, true);
            else if (event->type() == QEvent::Show)
                widget->setProperty(kClosedForDeletion, QVariant());
        }
        return false;
    }
};

ClosingWatcher *watcher()
{
    static auto *instance = new ClosingWatcher(qApp);
    return instance;
}

bool isWanted(const QWidget *widget, const QMetaObject &windowClass)
{
    return widget->metaObject() == &windowClass && !widget->property(kClosedForDeletion).toBool();
}

} // namespace

QWidget *FindWindowOfClass(const QMetaObject &windowClass, const QWidget *owner)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (isWanted(window, windowClass))
            return window;
    }
    if (owner) {
        for (QWidget *child : owner->findChildren<QWidget *>()) {
            if (child->isWindow() && isWanted(child, windowClass))
                return child;
        }
    }
    return nullptr;
}

void BringWindowToFront(QWidget *window)
{
    window->installEventFilter(watcher());
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}
