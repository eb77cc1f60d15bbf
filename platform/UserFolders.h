#pragma once

#include <QString>

// The player's base folders, by the XDG rule: $XDG_CONFIG_HOME and $XDG_DATA_HOME when they hold an
// absolute path (a relative one is ignored, as the rule says, rather than taken from whatever
// folder the game was started in), otherwise ~/.config and ~/.local/share under $HOME.
struct UserFolder {
    // Absolute, without a trailing slash; empty when there is none.
    QString path;
    // Why there is none, in words for the player; empty when there is one.
    QString problem;
};

// Read anew on every call: nothing about the environment is kept.
UserFolder ConfigHome();
UserFolder DataHome();
