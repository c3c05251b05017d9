#pragma once
// Drives the modal windows a test opens: the action runs on the next modal
// window of the given class as soon as it is on screen, from inside its
// modal loop, and the code that opened it goes on when the action closes it.

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quorin::test {

template <typename T>
void OnNextModal(std::function<void(T*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(window);
    });
    timer->start();
}

// Presses and releases a key on widget; unlike QTest::keyClick it takes
// keys beyond ASCII, such as a Cyrillic layout's letters.
inline void SendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

} // namespace quorin::test
