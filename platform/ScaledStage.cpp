#include "platform/ScaledStage.h"

#include <QChildEvent>
#include <QPalette>
#include <QScreen>
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
    Rescale();
}

void ScaledStage::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    // Polished, a child is whole: a screen gets here before it is first shown.
    if (event->polished() && event->child()->isWidgetType()) {
        static_cast<QWidget*>(event->child())->setGeometry(StageRect());
    }
}

void ScaledStage::Rescale() {
    scale = FittingScale(stageSize, size());
    const QRect stage = StageRect();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->setGeometry(stage);
    }
    for (CanvasView* view : findChildren<CanvasView*>()) {
        view->SetScale(scale);
    }
}
