// "Parameters": a modeless tool window for the iteration limit, the bailout,
// the stalks-and-bubbles radius and the Julia constant. The generation reads
// it at the start of every picture while it is visible.
#pragma once

#include <QDialog>

#include "iteration_context.h"

class QDoubleSpinBox;
class QPushButton;
class QSpinBox;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    // Fills the spin edits from the settings (Maxit and Bailout as whole numbers).
    void LoadFrom(const TIterationContext& ctx);
    // Shows a picked Julia constant.
    void SetJulia(double x, double y);

    // Values as the spin edits show them.
    double MaxitValue() const;
    double BailoutValue() const;
    double EpsilonValue() const;
    double JuliaXValue() const;
    double JuliaYValue() const;

    QSpinBox* Maxit;
    QSpinBox* Bailout;
    QDoubleSpinBox* epsilon;
    QDoubleSpinBox* JuliaX;
    QDoubleSpinBox* JuliaY;
    QPushButton* RxSpeedButton1;

    // Closing the window (close box, Escape) hides it.
    void done(int result) override;

signals:
    // "Apply": regenerate.
    void ApplyClicked();
    // FormClose: the window was closed by the user.
    void Closed();
};
