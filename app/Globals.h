#pragma once

class Vantor;
class VantorImages;
class UserSettings;
class LogTrace;

// Set once at start-up by the main program and the main widget; null until then.
extern Vantor* vantor;
extern VantorImages* vantorImages;
extern UserSettings* vantorConfig;
extern LogTrace* logTrace;
