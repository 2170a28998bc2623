// "Color Mixing Controls": the fifteen colour controls, tuned while the
// picture recolours. Every change restarts a two-tick count of a 1 ms
// timer; at the second tick the main window takes the values over and
// recolours, so a burst of changes costs one recolouring.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <array>

#include "iteration_context.h"

class QDoubleSpinBox;
class QSlider;

namespace app {

class ColourMixingDialog : public QDialog {
    Q_OBJECT
public:
    explicit ColourMixingDialog(QWidget* parent = nullptr);

    // Opening: the spin edits from the settings (clamped and rounded as they
    // display them), then the six bars from the spin edits. The changes, and
    // the timer started at the opening, end in one apply of the values shown.
    void showSettings(const TIterationContext& ctx);
    // Shows settings that changed elsewhere (a loaded file, New) without
    // applying anything; until a control is changed, storeTo hands back
    // those settings exactly, not their rounded display.
    void refreshSettings(const TIterationContext& ctx);
    // The fifteen values in the opening order.
    void storeTo(TIterationContext& ctx) const;
    // Starts the deferred apply (a running count goes on).
    void startApplyTimer();

    bool applyPending() const { return applyTimer_.isActive(); }
    int ticksSinceChange() const { return ticks_; }

signals:
    // The deferred apply: the main window takes the values over.
    void applyRequested();
    // "Fit Colours to Picture".
    void fitRequested();

private:
    // A control with the setting it edits and what a refresh showed.
    struct Control {
        QDoubleSpinBox* spin = nullptr;
        double TIterationContext::*field = nullptr;
        QString refreshedText;
        double refreshedValue = 0.0;
    };

    void spinChanged();
    void startChanged(QDoubleSpinBox* start, QSlider* bar);
    void barChanged(QSlider* bar, QDoubleSpinBox* spin);
    void tick();
    void setSpins(const TIterationContext& ctx);
    void setBarsFromSpins();
    static void SetBar(QSlider* bar, double value);

    std::array<Control, 15> controls_;
    std::array<QSlider*, 3> startBars_{};
    std::array<QSlider*, 3> saturateBars_{};
    QTimer applyTimer_;
    int ticks_ = 0;
};

}  // namespace app
