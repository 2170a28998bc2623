#include "parameters_dialog.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>

#include "decimal_spin_box.h"
#include "deep_view.h"
#include "flat_button.h"
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace app {

namespace {
// Spin edits without a range of their own still need bounds; these are far
// beyond any value the program produces.
constexpr double kRealBound = 1e9;

template <typename Spin = QDoubleSpinBox>
Spin* RealSpin(QWidget* parent, const char* name, int decimals, double step) {
    auto* spin = new Spin(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setDecimals(decimals);
    spin->setRange(-kRealBound, kRealBound);
    spin->setSingleStep(step);
    spin->setMinimumWidth(150);
    return spin;
}
}  // namespace

ParametersDialog::ParametersDialog(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("parametersDialog"));
    setWindowTitle(tr("Parameters"));
    setModal(false);

    maxit_ = new QSpinBox(this);
    maxit_->setObjectName(QStringLiteral("Maxit"));
    maxit_->setRange(0, kMaxIterationLimit);
    maxit_->setSingleStep(50);

    bailout_ = new QSpinBox(this);
    bailout_->setObjectName(QStringLiteral("Bailout"));
    bailout_->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    bailout_->setSingleStep(8);

    epsilon_ = RealSpin(this, "epsilon", 4, 0.002);
    juliaX_ = RealSpin<DecimalSpinBox>(this, "JuliaX", 9, 0.1);
    juliaY_ = RealSpin<DecimalSpinBox>(this, "JuliaY", 9, 0.1);

    apply_ = new FlatButton(tr("Apply"), this);
    apply_->setObjectName(QStringLiteral("applyButton"));
    apply_->setCursor(Qt::PointingHandCursor);
    apply_->setDefault(true);
    connect(apply_, &QPushButton::clicked, this, &ParametersDialog::applyClicked);

    auto* form = new QFormLayout;
    form->addRow(tr("Max Iterations"), maxit_);
    form->addRow(tr("M-Set Bailout"), bailout_);
    form->addRow(tr("Stalks && Bubbles Radius"), epsilon_);
    form->addRow(tr("Julia X"), juliaX_);
    form->addRow(tr("Julia Y"), juliaY_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(apply_, 0, Qt::AlignRight);

    setTabOrder(maxit_, bailout_);
    setTabOrder(bailout_, epsilon_);
    setTabOrder(epsilon_, juliaX_);
    setTabOrder(juliaX_, juliaY_);
    setTabOrder(juliaY_, apply_);
}

void ParametersDialog::showSettings(const TIterationContext& ctx, const engine::ExactView& view) {
    maxit_->setValue(ctx.Maxit);
    bailout_->setValue(ctx.Bailout);
    epsilon_->setValue(ctx.epsilon);
    juliaX_->setExactText({});
    juliaY_->setExactText({});
    juliaX_->setValue(ctx.JuliaX);
    juliaY_->setValue(ctx.JuliaY);
    epsilonShown_ = Shown{epsilon_->text(), ctx.epsilon};
    juliaXShown_ = Shown{juliaX_->text(), ctx.JuliaX};
    juliaYShown_ = Shown{juliaY_->text(), ctx.JuliaY};
    juliaX_->setExactText(QString::fromStdString(engine::TextBeyondDouble(view.juliaX, ctx.JuliaX)));
    juliaY_->setExactText(QString::fromStdString(engine::TextBeyondDouble(view.juliaY, ctx.JuliaY)));
}

void ParametersDialog::setJuliaConstant(double x, double y, const std::string& exactX, const std::string& exactY) {
    juliaX_->setExactText({});
    juliaY_->setExactText({});
    juliaX_->setValue(x);
    juliaY_->setValue(y);
    juliaX_->setExactText(QString::fromStdString(exactX));
    juliaY_->setExactText(QString::fromStdString(exactY));
    juliaXShown_ = Shown{};
    juliaYShown_ = Shown{};
}

double ParametersDialog::Exact(const QDoubleSpinBox* spin, const Shown& shown) {
    return !shown.text.isEmpty() && spin->text() == shown.text ? shown.value : spin->value();
}

engine::ParameterDialogValues ParametersDialog::values() const {
    engine::ParameterDialogValues values{double(maxit_->value()), double(bailout_->value()),
                                         Exact(epsilon_, epsilonShown_), Exact(juliaX_, juliaXShown_),
                                         Exact(juliaY_, juliaYShown_), {}, {}};
    // Digits beyond the boxes' decimals, where they show them: the double
    // nearest them, and the text where it says more than that double.
    const std::pair<DecimalSpinBox*, std::pair<double*, std::string*>> julia[] = {
        {juliaX_, {&values.JuliaX, &values.JuliaXText}}, {juliaY_, {&values.JuliaY, &values.JuliaYText}}};
    for (const auto& [box, target] : julia) {
        const std::string shown = box->exactText().toStdString();
        if (!shown.empty()) engine::SetFromText(shown, *target.first, *target.second);
    }
    return values;
}

void ParametersDialog::done(int result) {
    QDialog::done(result);
    emit closed();
}

}  // namespace app
