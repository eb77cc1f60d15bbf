#pragma once

#include <QLibrary>
#include <QString>

// The library of the game's services on SDL (SdlServices.h), loaded when it is first needed: SDL
// and what it links (sound servers, Wayland and more) would otherwise be loaded before the window
// could show. A library that cannot be loaded is said once on standard error; the game goes on
// without its services.
class SdlLibrary {
  public:
    // The library's file; it is loaded here.
    explicit SdlLibrary(const QString& file);

    // The factory function of that name, of the given type; null when the library or the function
    // is missing.
    template <typename Function>
    Function* Factory(const char* name) {
        return reinterpret_cast<Function*>(library.resolve(name));
    }

  private:
    QLibrary library;
};
