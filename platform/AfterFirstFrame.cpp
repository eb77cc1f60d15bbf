#include "platform/AfterFirstFrame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

AfterFirstFrame::AfterFirstFrame(QWidget& window, std::function<void()> function)
    : run(std::move(function)) {
    window.winId();
    QWindow* handle = window.windowHandle();
    if (handle->isExposed()) {
        RunSoon();
    } else {
        handle->installEventFilter(this);
    }
}

bool AfterFirstFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
        watched->removeEventFilter(this);
        RunSoon();
    }
    return false;
}

void AfterFirstFrame::RunSoon() {
    // The window draws its first frame while it handles this very event; the server shows it soon.
    QTimer::singleShot(SHOWN_AFTER_MS, this, [this] { run(); });
}
