#include "app/Globals.h"

Vantor* vantor = nullptr;
VantorImages* vantorImages = nullptr;
UserSettings* vantorConfig = nullptr;
LogTrace* logTrace = nullptr;
