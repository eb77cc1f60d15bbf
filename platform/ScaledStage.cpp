#include "platform/ScaledStage.h"

#include <QChildEvent>
#include <QPalette>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "platform/Canvas.h"
#include "platform/CanvasView.h"

ScaledStage::ScaledStage(QSize size, QWidget* parent) : QWidget(parent), stageSize(size) {
    QPalette margins = palette();
    margins.setColor(QPalette::Window, Canvas::BACKGROUND);
    setPalette(margins);
    setAutoFillBackground(true);
}

int ScaledStage::FittingScale(QSize stage, QSize area) {
    return std::max(1, std::min(area.width() / stage.width(), area.height() / stage.height()));
}

int ScaledStage::MaximumScale() const {
    const QScreen* shownOn = screen();
    return shownOn != nullptr ? FittingScale(stageSize, shownOn->geometry().size()) : 1;
}

int ScaledStage::ScaleOf(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (const auto* stage = qobject_cast<const ScaledStage*>(widget)) {
            return stage->Scale();
        }
    }
    return 1;
}

QRect ScaledStage::StageRect() const {
    const QSize scaled = stageSize * scale;
    // A window held smaller than the stage shows its top-left corner rather than a centred cut.
    return QRect(QPoint(std::max(0, (width() - scaled.width()) / 2),
                        std::max(0, (height() - scaled.height()) / 2)),
                 scaled);
}

QSize ScaledStage::sizeHint() const {
    const QScreen* shownOn = screen();
    return shownOn != nullptr
               ? stageSize * FittingScale(stageSize, shownOn->availableGeometry().size())
               : stageSize;
}

void ScaledStage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    KeepWindowOnDesktop();
    Rescale();
}

void ScaledStage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Moved to another screen, the window may allow another scale.
    if (const QWindow* shown = window()->windowHandle()) {
        connect(shown, &QWindow::screenChanged, this, &ScaledStage::Rescale, Qt::UniqueConnection);
    }
    Rescale();
}

void ScaledStage::KeepWindowOnDesktop() {
    QWidget* shown = window();
    const QScreen* shownOn = screen();
    if (shownOn == nullptr) {
        return;
    }
    const QSize desktop = shownOn->virtualSize();
    if (shown->width() > desktop.width() || shown->height() > desktop.height()) {
        shown->resize(shown->size().boundedTo(desktop));
    }
}

void ScaledStage::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    // Polished, a child is whole: a screen gets here before it is first shown.
    if (event->polished() && event->child()->isWidgetType()) {
        static_cast<QWidget*>(event->child())->setGeometry(StageRect());
    }
}

void ScaledStage::Rescale() {
    scale = std::min(FittingScale(stageSize, size()), MaximumScale());
    const QRect stage = StageRect();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->setGeometry(stage);
    }
    for (CanvasView* view : findChildren<CanvasView*>()) {
        view->SetScale(scale);
    }
}
