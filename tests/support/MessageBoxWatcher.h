#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QWidget;

// One warning box as the player saw it.
struct ShownWarning {
    const QWidget* parent;
    QString caption;
    QString text;
    QStringList buttons;
};

// While it lives, answers every modal message box that opens: records its caption, text and button
// texts, then presses its first button, so code that shows a box runs on without blocking the test.
class MessageBoxWatcher : public QObject {
  public:
    MessageBoxWatcher();

    const QList<ShownWarning>& Warnings() const { return warnings; }

  private:
    void AnswerOpenBox();

    QTimer poll;
    QList<ShownWarning> warnings;
};
