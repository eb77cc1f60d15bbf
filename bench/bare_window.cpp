// The floor of start-up: a bare Qt window of a given size in the game's green and nothing else, for
// bench/startup.sh to set the game against.
//
//   bare_window <width> <height>
#include <QApplication>
#include <QPalette>
#include <QWidget>

#include "platform/Canvas.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    QWidget window;
    QPalette green = window.palette();
    green.setColor(QPalette::Window, Canvas::BACKGROUND);
    window.setPalette(green);
    window.setAutoFillBackground(true);
    window.resize(arguments.value(1).toInt(), arguments.value(2).toInt());
    window.show();
    return QApplication::exec();
}
