// "Color Mixing Controls": the fifteen colour controls, tuned while the
// picture recolours. Every change restarts a two-tick count of ColorTimer;
// at the second tick the main window takes the values over and recolours.
#pragma once

#include <QDialog>
#include <QTimer>

#include "iteration_context.h"

class QDoubleSpinBox;
class QSlider;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    // Opening, steps 2 and 3: the spin edits from the settings (clamped and
    // rounded as they display them), then the six bars from the spin edits.
    void LoadFrom(const TIterationContext& ctx);
    // Apply, step 1: the fifteen values as displayed, in the opening order.
    void StoreTo(TIterationContext& ctx) const;
    // Enables ColorTimer (an enabled timer keeps its count).
    void EnableColorTimer();

    QDoubleSpinBox* RedStep;
    QDoubleSpinBox* GrnStep;
    QDoubleSpinBox* BluStep;
    QDoubleSpinBox* dFactor3;
    QDoubleSpinBox* dFactor4;
    QDoubleSpinBox* dFactor5;
    QDoubleSpinBox* RedStart;
    QDoubleSpinBox* GrnStart;
    QDoubleSpinBox* BluStart;
    QSlider* RedBar1;
    QSlider* GreenBar1;
    QSlider* BlueBar1;
    QDoubleSpinBox* RedSaturate;
    QDoubleSpinBox* GrnSaturate;
    QDoubleSpinBox* BluSaturate;
    QDoubleSpinBox* RedOffset;
    QDoubleSpinBox* GrnOffset;
    QDoubleSpinBox* BluOffset;
    QSlider* RedBarSaturate;
    QSlider* GrnBarSaturate;
    QSlider* BluBarSaturate;

    QTimer ColorTimer;
    int ColorTicks = 0;

signals:
    // The deferred apply (ColorControlsOnApplyClick of the main window).
    void ApplyRequested();

private:
    void SpinChange();
    void StartChange(QDoubleSpinBox* start, QSlider* bar);
    void BarChange(QSlider* bar, QDoubleSpinBox* spin);
    void ColorTimerTimer();
    static void SetBar(QSlider* bar, double value);
};
