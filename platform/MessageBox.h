#pragma once

#include <QString>

class QWidget;

// Every problem the game reports goes through this one warning box with a single button.
void ShowWarning(QWidget* parent, const QString& caption, const QString& text,
                 const QString& button);
