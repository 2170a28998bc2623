#include "colour_mixing_dialog.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include "picture_settings.h"

namespace {
QDoubleSpinBox* Spin(QWidget* parent, const char* name, double maximum, double step, int decimals) {
    auto* spin = new QDoubleSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setDecimals(decimals);
    spin->setRange(0.0, maximum);
    spin->setSingleStep(step);
    return spin;
}

QSlider* Bar(QWidget* parent, const char* name) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 255);
    bar->setTickInterval(10);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setMinimumWidth(97);
    return bar;
}

QLabel* Label(QWidget* parent, const char* text) { return new QLabel(QLatin1String(text), parent); }
}  // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Color Mixing Controls"));
    setModal(false);

    // Created in tab order.
    RedStep = Spin(this, "RedStep", 255, 0.02, 2);
    GrnStep = Spin(this, "GrnStep", 255, 0.02, 2);
    BluStep = Spin(this, "BluStep", 255, 0.02, 2);
    dFactor3 = Spin(this, "dFactor3", 10000, 0.02, 3);
    dFactor4 = Spin(this, "dFactor4", 10000, 0.02, 3);
    dFactor5 = Spin(this, "dFactor5", 10000, 0.01, 3);
    RedStart = Spin(this, "RedStart", 255, 1.0, 2);
    GrnStart = Spin(this, "GrnStart", 255, 1.0, 2);
    BluStart = Spin(this, "BluStart", 255, 1.0, 2);
    RedBar1 = Bar(this, "RedBar1");
    GreenBar1 = Bar(this, "GreenBar1");
    BlueBar1 = Bar(this, "BlueBar1");
    RedSaturate = Spin(this, "RedSaturate", 255, 10.0, 3);
    GrnSaturate = Spin(this, "GrnSaturate", 255, 10.0, 3);
    BluSaturate = Spin(this, "BluSaturate", 255, 10.0, 3);
    RedOffset = Spin(this, "RedOffset", 255, 30.0, 3);
    GrnOffset = Spin(this, "GrnOffset", 255, 30.0, 3);
    BluOffset = Spin(this, "BluOffset", 255, 30.0, 3);
    RedBarSaturate = Bar(this, "RedBarSaturate");
    GrnBarSaturate = Bar(this, "GrnBarSaturate");
    BluBarSaturate = Bar(this, "BluBarSaturate");

    const QList<QWidget*> tabOrder = {RedStep,   GrnStep,        BluStep,        dFactor3,
                                      dFactor4,  dFactor5,       RedStart,       GrnStart,
                                      BluStart,  RedBar1,        GreenBar1,      BlueBar1,
                                      RedSaturate, GrnSaturate,  BluSaturate,    RedOffset,
                                      GrnOffset, BluOffset,      RedBarSaturate, GrnBarSaturate,
                                      BluBarSaturate};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

    // Columns: channel label, Steps, Start, Start bar, Saturation, its bar, Offset.
    auto* grid = new QGridLayout(this);
    grid->addWidget(Label(this, "Steps"), 0, 1);
    grid->addWidget(Label(this, "Start"), 0, 2);
    const char* rows[] = {"Red", "Green", "Blue"};
    QDoubleSpinBox* steps[] = {RedStep, GrnStep, BluStep};
    QDoubleSpinBox* starts[] = {RedStart, GrnStart, BluStart};
    QSlider* startBars[] = {RedBar1, GreenBar1, BlueBar1};
    QDoubleSpinBox* saturates[] = {RedSaturate, GrnSaturate, BluSaturate};
    QSlider* saturateBars[] = {RedBarSaturate, GrnBarSaturate, BluBarSaturate};
    QDoubleSpinBox* offsets[] = {RedOffset, GrnOffset, BluOffset};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(Label(this, rows[i]), i + 1, 0);
        grid->addWidget(steps[i], i + 1, 1);
        grid->addWidget(starts[i], i + 1, 2);
        grid->addWidget(startBars[i], i + 1, 3);
        grid->addWidget(saturates[i], i + 1, 4);
        grid->addWidget(saturateBars[i], i + 1, 5);
        grid->addWidget(offsets[i], i + 1, 6);
    }
    grid->addWidget(Label(this, "Saturation"), 4, 5);
    grid->addWidget(Label(this, "Offset"), 4, 6);
    grid->addWidget(dFactor3, 4, 1);
    grid->addWidget(dFactor4, 4, 2);
    grid->addWidget(dFactor5, 4, 3);
    grid->addWidget(Label(this, "Render"), 5, 1);
    grid->addWidget(Label(this, "Filtering"), 5, 2);
    grid->addWidget(Label(this, "Scaling"), 5, 3);

    for (QDoubleSpinBox* spin : {RedStep, GrnStep, BluStep, dFactor3, dFactor4, dFactor5,
                                 RedSaturate, GrnSaturate, BluSaturate, RedOffset, GrnOffset,
                                 BluOffset})
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { SpinChange(); });
    for (int i = 0; i < 3; ++i) {
        QDoubleSpinBox* start = starts[i];
        QSlider* bar = startBars[i];
        connect(start, &QDoubleSpinBox::valueChanged, this, [this, start, bar] { StartChange(start, bar); });
        // Programmatic positions are set with the signals blocked, so these
        // run only when the user moves a bar.
        connect(bar, &QSlider::valueChanged, this, [this, bar, start] { BarChange(bar, start); });
        QSlider* saturateBar = saturateBars[i];
        QDoubleSpinBox* saturate = saturates[i];
        connect(saturateBar, &QSlider::valueChanged, this,
                [this, saturateBar, saturate] { BarChange(saturateBar, saturate); });
    }

    ColorTimer.setInterval(1);
    connect(&ColorTimer, &QTimer::timeout, this, &TForm3::ColorTimerTimer);
    move(17, 375);
}

void TForm3::SetBar(QSlider* bar, double value) {
    const QSignalBlocker blocker(bar);
    bar->setValue(engine::RoundToInt32(value));
}

void TForm3::LoadFrom(const TIterationContext& ctx) {
    RedStep->setValue(ctx.RedStep);
    GrnStep->setValue(ctx.GrnStep);
    BluStep->setValue(ctx.BluStep);
    RedStart->setValue(ctx.RedStart);
    GrnStart->setValue(ctx.GrnStart);
    BluStart->setValue(ctx.BluStart);
    RedSaturate->setValue(ctx.RedSaturate);
    GrnSaturate->setValue(ctx.GrnSaturate);
    BluSaturate->setValue(ctx.BluSaturate);
    RedOffset->setValue(ctx.RedOffset);
    GrnOffset->setValue(ctx.GrnOffset);
    BluOffset->setValue(ctx.BluOffset);
    dFactor3->setValue(ctx.dFactor3);
    dFactor4->setValue(ctx.dFactor4);
    dFactor5->setValue(ctx.dFactor5);
    SetBar(RedBar1, RedStart->value());
    SetBar(GreenBar1, GrnStart->value());
    SetBar(BlueBar1, BluStart->value());
    SetBar(RedBarSaturate, RedSaturate->value());
    SetBar(GrnBarSaturate, GrnSaturate->value());
    SetBar(BluBarSaturate, BluSaturate->value());
}

void TForm3::StoreTo(TIterationContext& ctx) const {
    ctx.RedStep = RedStep->value();
    ctx.GrnStep = GrnStep->value();
    ctx.BluStep = BluStep->value();
    ctx.RedStart = RedStart->value();
    ctx.GrnStart = GrnStart->value();
    ctx.BluStart = BluStart->value();
    ctx.RedSaturate = RedSaturate->value();
    ctx.GrnSaturate = GrnSaturate->value();
    ctx.BluSaturate = BluSaturate->value();
    ctx.RedOffset = RedOffset->value();
    ctx.GrnOffset = GrnOffset->value();
    ctx.BluOffset = BluOffset->value();
    ctx.dFactor3 = dFactor3->value();
    ctx.dFactor4 = dFactor4->value();
    ctx.dFactor5 = dFactor5->value();
}

void TForm3::EnableColorTimer() {
    if (!ColorTimer.isActive()) ColorTimer.start();
}

void TForm3::SpinChange() {
    ColorTicks = 0;
    EnableColorTimer();
}

void TForm3::StartChange(QDoubleSpinBox* start, QSlider* bar) {
    SpinChange();
    SetBar(bar, start->value());
}

void TForm3::BarChange(QSlider* bar, QDoubleSpinBox* spin) {
    ColorTicks = 0;
    spin->setValue(bar->value());
    EnableColorTimer();
}

void TForm3::ColorTimerTimer() {
    if (ColorTicks == 0) {
        ColorTicks = 1;
        return;
    }
    ColorTimer.stop();
    emit ApplyRequested();
    ColorTicks = 0;
}
