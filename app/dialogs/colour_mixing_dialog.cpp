#include "colour_mixing_dialog.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include "rounding.h"

namespace app {

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
}  // namespace

ColourMixingDialog::ColourMixingDialog(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("colourMixingDialog"));
    setWindowTitle(tr("Color Mixing Controls"));
    setModal(false);

    // Created in tab order.
    auto* redStep = Spin(this, "RedStep", 255, 0.02, 2);
    auto* grnStep = Spin(this, "GrnStep", 255, 0.02, 2);
    auto* bluStep = Spin(this, "BluStep", 255, 0.02, 2);
    auto* factor3 = Spin(this, "dFactor3", 10000, 0.02, 3);
    auto* factor4 = Spin(this, "dFactor4", 10000, 0.02, 3);
    auto* factor5 = Spin(this, "dFactor5", 10000, 0.01, 3);
    auto* redStart = Spin(this, "RedStart", 255, 1.0, 2);
    auto* grnStart = Spin(this, "GrnStart", 255, 1.0, 2);
    auto* bluStart = Spin(this, "BluStart", 255, 1.0, 2);
    startBars_ = {Bar(this, "RedStartBar"), Bar(this, "GreenStartBar"), Bar(this, "BlueStartBar")};
    auto* redSaturate = Spin(this, "RedSaturate", 255, 10.0, 3);
    auto* grnSaturate = Spin(this, "GrnSaturate", 255, 10.0, 3);
    auto* bluSaturate = Spin(this, "BluSaturate", 255, 10.0, 3);
    auto* redOffset = Spin(this, "RedOffset", 255, 30.0, 3);
    auto* grnOffset = Spin(this, "GrnOffset", 255, 30.0, 3);
    auto* bluOffset = Spin(this, "BluOffset", 255, 30.0, 3);
    saturateBars_ = {Bar(this, "RedSaturateBar"), Bar(this, "GreenSaturateBar"), Bar(this, "BlueSaturateBar")};

    using C = TIterationContext;
    controls_ = {Control{redStep, &C::RedStep, {}, 0.0},         Control{grnStep, &C::GrnStep, {}, 0.0},
                 Control{bluStep, &C::BluStep, {}, 0.0},         Control{redStart, &C::RedStart, {}, 0.0},
                 Control{grnStart, &C::GrnStart, {}, 0.0},       Control{bluStart, &C::BluStart, {}, 0.0},
                 Control{redSaturate, &C::RedSaturate, {}, 0.0}, Control{grnSaturate, &C::GrnSaturate, {}, 0.0},
                 Control{bluSaturate, &C::BluSaturate, {}, 0.0}, Control{redOffset, &C::RedOffset, {}, 0.0},
                 Control{grnOffset, &C::GrnOffset, {}, 0.0},     Control{bluOffset, &C::BluOffset, {}, 0.0},
                 Control{factor3, &C::dFactor3, {}, 0.0},        Control{factor4, &C::dFactor4, {}, 0.0},
                 Control{factor5, &C::dFactor5, {}, 0.0}};

    const QList<QWidget*> tabOrder = {redStep,        grnStep,          bluStep,          factor3,
                                      factor4,        factor5,          redStart,         grnStart,
                                      bluStart,       startBars_[0],    startBars_[1],    startBars_[2],
                                      redSaturate,    grnSaturate,      bluSaturate,      redOffset,
                                      grnOffset,      bluOffset,        saturateBars_[0], saturateBars_[1],
                                      saturateBars_[2]};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

    // Columns: channel label, Steps, Start, Start bar, Saturation, its bar, Offset.
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Steps"), this), 0, 1);
    grid->addWidget(new QLabel(tr("Start"), this), 0, 2);
    const QString rows[] = {tr("Red"), tr("Green"), tr("Blue")};
    QDoubleSpinBox* steps[] = {redStep, grnStep, bluStep};
    QDoubleSpinBox* starts[] = {redStart, grnStart, bluStart};
    QDoubleSpinBox* saturates[] = {redSaturate, grnSaturate, bluSaturate};
    QDoubleSpinBox* offsets[] = {redOffset, grnOffset, bluOffset};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(rows[i], this), i + 1, 0);
        grid->addWidget(steps[i], i + 1, 1);
        grid->addWidget(starts[i], i + 1, 2);
        grid->addWidget(startBars_[static_cast<size_t>(i)], i + 1, 3);
        grid->addWidget(saturates[i], i + 1, 4);
        grid->addWidget(saturateBars_[static_cast<size_t>(i)], i + 1, 5);
        grid->addWidget(offsets[i], i + 1, 6);
    }
    grid->addWidget(new QLabel(tr("Saturation"), this), 4, 5);
    grid->addWidget(new QLabel(tr("Offset"), this), 4, 6);
    grid->addWidget(factor3, 4, 1);
    grid->addWidget(factor4, 4, 2);
    grid->addWidget(factor5, 4, 3);
    grid->addWidget(new QLabel(tr("Render"), this), 5, 1);
    grid->addWidget(new QLabel(tr("Filtering"), this), 5, 2);
    grid->addWidget(new QLabel(tr("Scaling"), this), 5, 3);
    auto* fit = new QPushButton(tr("Fit Colours to Picture"), this);
    fit->setObjectName(QStringLiteral("fitColoursButton"));
    fit->setAutoDefault(false);
    connect(fit, &QPushButton::clicked, this, &ColourMixingDialog::fitRequested);
    grid->addWidget(fit, 5, 4, 1, 3);

    for (QDoubleSpinBox* spin : {redStep, grnStep, bluStep, factor3, factor4, factor5, redSaturate, grnSaturate,
                                 bluSaturate, redOffset, grnOffset, bluOffset})
        connect(spin, &QDoubleSpinBox::valueChanged, this, [this] { spinChanged(); });
    for (size_t i = 0; i < 3; ++i) {
        QDoubleSpinBox* start = starts[i];
        QSlider* bar = startBars_[i];
        connect(start, &QDoubleSpinBox::valueChanged, this, [this, start, bar] { startChanged(start, bar); });
        // Programmatic positions are set with the signals blocked, so these
        // run only when the user moves a bar.
        connect(bar, &QSlider::valueChanged, this, [this, bar, start] { barChanged(bar, start); });
        // Saturation is coupled one way only, from the bar to the spin edit.
        QSlider* saturateBar = saturateBars_[i];
        QDoubleSpinBox* saturate = saturates[i];
        connect(saturateBar, &QSlider::valueChanged, this,
                [this, saturateBar, saturate] { barChanged(saturateBar, saturate); });
    }

    applyTimer_.setInterval(1);
    connect(&applyTimer_, &QTimer::timeout, this, &ColourMixingDialog::tick);
}

void ColourMixingDialog::SetBar(QSlider* bar, double value) {
    const QSignalBlocker blocker(bar);
    bar->setValue(colour::RoundToInt32(value));
}

void ColourMixingDialog::setSpins(const TIterationContext& ctx) {
    for (Control& c : controls_) c.spin->setValue(ctx.*c.field);
}

void ColourMixingDialog::setBarsFromSpins() {
    for (size_t i = 0; i < 3; ++i) {
        SetBar(startBars_[i], controls_[3 + i].spin->value());
        SetBar(saturateBars_[i], controls_[6 + i].spin->value());
    }
}

void ColourMixingDialog::showSettings(const TIterationContext& ctx) {
    for (Control& c : controls_) c.refreshedText.clear();
    setSpins(ctx);
    setBarsFromSpins();
}

void ColourMixingDialog::refreshSettings(const TIterationContext& ctx) {
    for (Control& c : controls_) {
        const QSignalBlocker blocker(c.spin);
        c.spin->setValue(ctx.*c.field);
        c.refreshedText = c.spin->text();
        c.refreshedValue = ctx.*c.field;
    }
    setBarsFromSpins();
}

void ColourMixingDialog::storeTo(TIterationContext& ctx) const {
    for (const Control& c : controls_) {
        const bool unchanged = !c.refreshedText.isEmpty() && c.spin->text() == c.refreshedText;
        ctx.*c.field = unchanged ? c.refreshedValue : c.spin->value();
    }
}

void ColourMixingDialog::startApplyTimer() {
    if (!applyTimer_.isActive()) applyTimer_.start();
}

void ColourMixingDialog::spinChanged() {
    ticks_ = 0;
    startApplyTimer();
}

void ColourMixingDialog::startChanged(QDoubleSpinBox* start, QSlider* bar) {
    spinChanged();
    SetBar(bar, start->value());
}

void ColourMixingDialog::barChanged(QSlider* bar, QDoubleSpinBox* spin) {
    ticks_ = 0;
    spin->setValue(bar->value());
    startApplyTimer();
}

void ColourMixingDialog::tick() {
    if (ticks_ == 0) {
        ticks_ = 1;
        return;
    }
    applyTimer_.stop();
    emit applyRequested();
    ticks_ = 0;
}

}  // namespace app
