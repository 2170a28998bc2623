// "Parameters": a modeless tool window for the iteration limit, the bailout,
// the stalks-and-bubbles radius and the Julia constant. The generation reads
// it at the start of every picture while it is visible.
#pragma once

#include <QDialog>
#include <QString>

#include "exact_view.h"
#include "generation.h"
#include "iteration_context.h"

class QDoubleSpinBox;
class QPushButton;
class QSpinBox;

namespace app {

class DecimalSpinBox;

class ParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParametersDialog(QWidget* parent = nullptr);

    // Shows the settings (Maxit and Bailout as whole numbers). Until a value
    // is edited, the dialog hands back the setting itself, not its rounded
    // display, so that merely showing the dialog changes no picture. A Julia
    // constant with more digits than its doubles (`view`) shows them all.
    void showSettings(const TIterationContext& ctx, const engine::ExactView& view = {});
    // Shows a picked Julia constant; from now on it is used as displayed:
    // rounded to the display's decimals, or, given its exact texts, with
    // every digit.
    void setJuliaConstant(double x, double y, const std::string& exactX = {}, const std::string& exactY = {});

    // The values for the next generation: as displayed, or, where the
    // display is still that of showSettings, the setting shown.
    engine::ParameterDialogValues values() const;

    // Closing the window (close box, Escape) hides it.
    void done(int result) override;

signals:
    // "Apply": regenerate.
    void applyClicked();
    // The user closed the window.
    void closed();

private:
    // A value shown together with the exact number behind its display.
    struct Shown {
        QString text;
        double value = 0.0;
    };
    static double Exact(const QDoubleSpinBox* spin, const Shown& shown);

    QSpinBox* maxit_;
    QSpinBox* bailout_;
    QDoubleSpinBox* epsilon_;
    DecimalSpinBox* juliaX_;
    DecimalSpinBox* juliaY_;
    QPushButton* apply_;
    Shown epsilonShown_, juliaXShown_, juliaYShown_;
};

}  // namespace app
