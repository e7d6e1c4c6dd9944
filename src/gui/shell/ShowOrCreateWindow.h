#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <concepts>

// The windows opened from the main window on demand (backup, user
// administration, password change) exist at most once: a second request
// brings the open one to the front.

// The open window whose class is exactly the given one (not a subclass), or
// nullptr. Looks at every window of the application in stacking order and
// at the windows owned by owner.
QWidget *FindWindowOfClass(const QMetaObject &windowClass, const QWidget *owner);

// Restores a minimized window, shows a hidden one, brings it to the front
// and gives it the focus.
void BringWindowToFront(QWidget *window);

// Shows the window of class W that is already open, or creates one owned by
// owner with create(owner) and shows it. reference receives the window.
template <typename W, typename Factory>
requires std::derived_from<W, QWidget> && std::invocable<Factory, QWidget *> W *
ShowOrCreateWindow(QPointer<W> &reference, QWidget *owner, Factory create)
{
    if (QWidget *open = FindWindowOfClass(W::staticMetaObject, owner)) {
        BringWindowToFront(open);
        reference = static_cast<W *>(open);
        return reference;
    }
    W *window = create(owner);
    // A window created with a parent is a separate window, never a child
    // widget drawn into the owner.
    if (!window->isWindow())
        window->setWindowFlag(Qt::Window, true);
    reference = window;
    BringWindowToFront(window);
    return window;
}
