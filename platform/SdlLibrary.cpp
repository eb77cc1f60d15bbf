#include "platform/SdlLibrary.h"

#include <QtGlobal>

SdlLibrary::SdlLibrary(const QString& file) : library(file) {
    if (!library.load()) {
        qWarning("Vantor: no sound and no game controllers: %s", qPrintable(library.errorString()));
    }
}
