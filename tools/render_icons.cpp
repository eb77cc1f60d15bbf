// Draws the application icon for the desktop's icon theme.
//   render_icons <dir>  every size: <dir>/<N>x<N>/apps/vantor.png
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTextStream>

#include "graphics/ApplicationIcon.h"

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    QTextStream errors(stderr);
    if (arguments.size() != 2) {
        errors << "usage: render_icons <dir>\n";
        return 2;
    }
    const ApplicationIcon icon;
    for (const int size : ApplicationIcon::SIZES) {
        const QString path = QDir(arguments[1]).filePath(ApplicationIcon::ThemeFile(size));
        if (!QDir().mkpath(QFileInfo(path).path()) || !icon.Picture(size).save(path, "PNG")) {
            errors << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
