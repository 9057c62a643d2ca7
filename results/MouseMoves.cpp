// Mouse moves over the main window: the net under the mouse on the reference pattern lights
// up, and moving over any other control puts it back.

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include "interface/Main.h"
#include "interface/widgets/ImageControl.h"
#include "results/DiagramGeometry.h"

void TMainFrm::FormMouseMove(QObject* sender, Qt::KeyboardModifiers /*shift*/, int x, int y) {
    if (!Image1) return; // the window is still being built

    if (HoverBin != -1) {
        HoverBin = -1;
        const int kind = DistribPageCtrl->currentIndex();
        if (ChartTabVisible(kind)) RedrawChart(kind);
    }

    if (sender != Image1) {
        if (HighlightedColor != 0) {
            HoverColor = 0;
            HighlightNet();
        }
        return;
    }
    // A thin wire is easy to miss by a pixel: the neighbours count too.
    for (const QPoint& p : results::diagram::ProbePoints(x, y)) {
        if (HitTestNetColor(p.x(), p.y())) {
            HighlightNet();
            return;
        }
    }
}

namespace {

// Moves over controls that do not track the mouse reach only the application's filters, so
// the hook watches there and keeps to this window's own controls.
class MouseMoveFilter final : public QObject {
public:
    explicit MouseMoveFilter(TMainFrm& frm) : frm_(frm) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseMove || !watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() != &frm_ || IsChartImage(widget)) return false;
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPoint p = move->position().toPoint();
        frm_.RunHandler([&] { frm_.FormMouseMove(widget, move->modifiers(), p.x(), p.y()); });
        return false;
    }

private:
    // The chart images have a handler of their own.
    bool IsChartImage(const QWidget* widget) const {
        for (const ImageControl* chart : {frm_.ImageDistribTOs, frm_.ImageDistribCont,
                                          frm_.ImageDistribIso, frm_.ImageDistribRelays})
            if (widget == chart) return true;
        return false;
    }

    TMainFrm& frm_;
};

} // namespace

std::shared_ptr<void> TMainFrm::InstallMouseMoveHook(TMainFrm& frm) {
    auto filter = std::make_shared<MouseMoveFilter>(frm);
    QCoreApplication::instance()->installEventFilter(filter.get());
    return filter;
}
