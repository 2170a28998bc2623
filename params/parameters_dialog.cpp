#include "parameters_dialog.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace {
// Spin edits without a range of their own still need bounds; these are far
// beyond any value the program produces.
constexpr double kRealBound = 1e9;

QDoubleSpinBox* RealSpin(QWidget* parent, const char* name, int decimals, double step) {
    auto* spin = new QDoubleSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setDecimals(decimals);
    spin->setRange(-kRealBound, kRealBound);
    spin->setSingleStep(step);
    spin->setMinimumWidth(150);
    return spin;
}
}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Parameters"));
    setModal(false);

    Maxit = new QSpinBox(this);
    Maxit->setObjectName(QStringLiteral("Maxit"));
    Maxit->setRange(0, kMaxIterationLimit);
    Maxit->setSingleStep(50);

    Bailout = new QSpinBox(this);
    Bailout->setObjectName(QStringLiteral("Bailout"));
    Bailout->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    Bailout->setSingleStep(8);

    epsilon = RealSpin(this, "epsilon", 4, 0.002);
    JuliaX = RealSpin(this, "JuliaX", 9, 0.1);
    JuliaY = RealSpin(this, "JuliaY", 9, 0.1);

    RxSpeedButton1 = new QPushButton(QStringLiteral("Apply"), this);
    RxSpeedButton1->setObjectName(QStringLiteral("RxSpeedButton1"));
    RxSpeedButton1->setFlat(true);
    RxSpeedButton1->setCursor(Qt::PointingHandCursor);
    RxSpeedButton1->setDefault(true);
    connect(RxSpeedButton1, &QPushButton::clicked, this, &TForm4::ApplyClicked);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Max Iterations"), Maxit);
    form->addRow(QStringLiteral("M-Set Bailout"), Bailout);
    form->addRow(QStringLiteral("Stalks && Bubbles Radius"), epsilon);
    form->addRow(QStringLiteral("Julia X"), JuliaX);
    form->addRow(QStringLiteral("Julia Y"), JuliaY);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(RxSpeedButton1, 0, Qt::AlignRight);

    setTabOrder(Maxit, Bailout);
    setTabOrder(Bailout, epsilon);
    setTabOrder(epsilon, JuliaX);
    setTabOrder(JuliaX, JuliaY);
    setTabOrder(JuliaY, RxSpeedButton1);
    move(36, 394);
}

void TForm4::LoadFrom(const TIterationContext& ctx) {
    Maxit->setValue(ctx.Maxit);
    Bailout->setValue(ctx.Bailout);
    epsilon->setValue(ctx.epsilon);
    SetJulia(ctx.JuliaX, ctx.JuliaY);
}

void TForm4::SetJulia(double x, double y) {
    JuliaX->setValue(x);
    JuliaY->setValue(y);
}

double TForm4::MaxitValue() const { return Maxit->value(); }
double TForm4::BailoutValue() const { return Bailout->value(); }
double TForm4::EpsilonValue() const { return epsilon->value(); }
double TForm4::JuliaXValue() const { return JuliaX->value(); }
double TForm4::JuliaYValue() const { return JuliaY->value(); }

void TForm4::done(int result) {
    QDialog::done(result);
    emit Closed();
}
