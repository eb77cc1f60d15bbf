// The factory functions of the library of the game's services on SDL (SdlServices.h).
#include "platform/SdlServices.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include "platform/Gamepads.h"
#include "platform/SdlAudio.h"

extern "C" Q_DECL_EXPORT QObject* VantorCreateGamepads(QObject* keyReceiver) {
    auto pads = std::make_unique<Gamepads>();
    // Posted, not sent: the receiver takes them from its event loop after the pads' poll, as it
    // takes typed keys. The event loop owns each event.
    QObject::connect(pads.get(), &Gamepads::Key, keyReceiver,
                     [keyReceiver](int key, bool pressed, bool autoRepeat) {
                         QCoreApplication::postEvent(
                             keyReceiver,
                             new QKeyEvent(pressed ? QEvent::KeyPress : QEvent::KeyRelease, key,
                                           Qt::NoModifier, QString(), autoRepeat));
                     });
    return pads.release();
}

extern "C" Q_DECL_EXPORT AudioSystem* VantorCreateAudio() {
    return new SdlAudio();  // owned by the caller, across the library's edge
}
