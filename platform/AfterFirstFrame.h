#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Runs a function once, just after a window has first been drawn on screen. What the first picture
// does not need starts there, so that the window appears as early as it can.
class AfterFirstFrame : public QObject {
  public:
    // The window is shown already.
    AfterFirstFrame(QWidget& window, std::function<void()> run);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RunSoon();

    std::function<void()> run;
};
