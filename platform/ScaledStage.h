#pragma once

#include <QSize>
#include <QWidget>

// Holds the game's screen, a fixed stage in game pixels, and shows it at the largest whole scale k
// that fits this widget, centred on the game's green. Every child widget covers the stage, and
// every canvas view below it draws at k, so a game pixel becomes a k-by-k block. The screens never
// know k.
//
// k is capped: the stage never grows past the largest scale that fits the screen the window is on
// (so fullscreen still gets the k that fits that screen), whatever size the window is given; the
// rest is green. And a window larger than the whole desktop, which only a program or an X server
// without a window manager makes, is brought back to the desktop's size: its picture buffer grows
// with it (1.2 GB at 16000 x 20000) and shows nothing more.
class ScaledStage : public QWidget {
    Q_OBJECT

  public:
    ScaledStage(QSize stageSize, QWidget* parent);

    // The largest whole scale at which the stage fits the area; 1 when it does not fit at all.
    static int FittingScale(QSize stage, QSize area);
    // The largest scale the stage takes: the one that fits the whole screen it is on.
    int MaximumScale() const;
    // The scale of the stage a widget stands on; 1 off any stage.
    static int ScaleOf(const QWidget* widget);

    int Scale() const { return scale; }
    // Where the scaled stage lies in this widget.
    QRect StageRect() const;

    // The stage at the largest scale that fits the available area of the screen we are on.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return stageSize; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Rescale();
    void KeepWindowOnDesktop();

    const QSize stageSize;
    int scale = 1;
};
