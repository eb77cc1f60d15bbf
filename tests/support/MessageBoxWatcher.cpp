#include "tests/support/MessageBoxWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

MessageBoxWatcher::MessageBoxWatcher() {
    // The box's own event loop runs the timer, so the box is answered from inside exec().
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, &MessageBoxWatcher::AnswerOpenBox);
    poll.start();
}

void MessageBoxWatcher::AnswerOpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    // A box that was just answered may still be the active modal widget until it is hidden.
    if (box == nullptr || !box->isVisible()) {
        return;
    }
    ShownWarning warning{box->parentWidget(), box->windowTitle(), box->text(), {}};
    for (const QAbstractButton* button : box->buttons()) {
        warning.buttons.append(button->text());
    }
    warnings.append(warning);
    box->buttons().isEmpty() ? box->reject() : box->buttons().first()->click();
}
