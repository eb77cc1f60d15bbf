#include "platform/MessageBox.h"

#include <QMessageBox>

void ShowWarning(QWidget* parent, const QString& caption, const QString& text,
                 const QString& button) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, parent);
    box.setDefaultButton(box.addButton(button, QMessageBox::AcceptRole));
    box.exec();
}
