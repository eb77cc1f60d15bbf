#pragma once

#include <QObject>

// What the game asks of the library of its services on SDL (libvantor_sdl), which it loads at run
// time (SdlLibrary) rather than links: each service is made by a factory function of the library,
// found by its name.

// The game controllers (Gamepads). They post what they press and release to the receiver as the
// keyboard's key events, and belong to the caller.
using CreateGamepadsFunction = QObject*(QObject* keyReceiver);
constexpr char CREATE_GAMEPADS[] = "VantorCreateGamepads";

// The sound system (SdlAudio), an AudioSystem the caller owns.
class AudioSystem;
using CreateAudioFunction = AudioSystem*();
constexpr char CREATE_AUDIO[] = "VantorCreateAudio";
