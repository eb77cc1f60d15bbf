#pragma once

#include <QString>

// One line on standard error, after the game's name: for what the player may want to know but
// that is no reason to stop the game with a box (no sound device, a setting not saved).
void SayOnConsole(const QString& line);
