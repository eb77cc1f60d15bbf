#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Runs a function once, shortly after a window was first exposed and drew its first frame. What the
// first picture does not need starts there, so that the window appears as early as it can. The
// display server shows the frame on its own time, so the function waits a little longer: started
// at once, a slow start-up (loading libraries) would hold the frame back, competing with the server
// for the processor.
class AfterFirstFrame : public QObject {
  public:
    static constexpr int SHOWN_AFTER_MS = 200;

    // The window is shown already.
    AfterFirstFrame(QWidget& window, std::function<void()> run);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RunSoon();

    std::function<void()> run;
};
