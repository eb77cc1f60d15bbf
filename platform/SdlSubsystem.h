#pragma once

#include <QString>
#include <cstdint>

// One of SDL's subsystems (audio, game controllers) in use while this lives. SDL gets no window,
// no video and no signal handlers of its own: Qt keeps the window, the keys and Ctrl+C. Several may
// live at once; SDL counts them and shuts down with the last.
class SdlSubsystem {
  public:
    // flags: SDL_INIT_AUDIO or SDL_INIT_GAMECONTROLLER.
    explicit SdlSubsystem(std::uint32_t flags);
    ~SdlSubsystem();
    SdlSubsystem(const SdlSubsystem&) = delete;
    SdlSubsystem& operator=(const SdlSubsystem&) = delete;

    bool Ready() const { return ready; }
    // SDL's own words when the subsystem could not start; empty when it is ready.
    const QString& Error() const { return error; }

  private:
    const std::uint32_t flags;
    bool ready = false;
    QString error;
};
