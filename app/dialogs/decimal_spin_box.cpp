#include "decimal_spin_box.h"

#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>

#include "deep_view.h"

namespace app {

namespace {
// What a number may look like while it is being typed.
const QRegularExpression kPartialNumber(QStringLiteral("^[+-]?[0-9]*([.][0-9]*)?([eE][+-]?[0-9]*)?$"));

std::string Std(const QString& text) { return text.toStdString(); }

// The box's own rounding of a value to its decimals, as setValue rounds.
double Rounded(double value, int decimals) { return QString::number(value, 'f', decimals).toDouble(); }
}  // namespace

QString DecimalSpinBox::Delocalised(QString text) const {
    text.remove(locale().groupSeparator());
    return text.replace(locale().decimalPoint(), QStringLiteral("."));
}

QString DecimalSpinBox::Localised(const QString& text) const {
    QString shown = text;
    return shown.replace(QLatin1Char('.'), locale().decimalPoint());
}

void DecimalSpinBox::setExactText(const QString& text) {
    double nearest = 0.0;
    if (text.isEmpty() || !engine::ValidViewText(Std(text)) || !engine::NearestDouble(Std(text), nearest)) {
        exact_.clear();
        lineEdit()->setText(textFromValue(value()));
        return;
    }
    const double shown = Rounded(nearest, decimals());
    if (shown == nearest && engine::TextBeyondDouble(Std(text), nearest).empty()) {
        // Nothing beyond the box's decimals: shown as any value is.
        exact_.clear();
        setValue(nearest);
        lineEdit()->setText(textFromValue(value()));
        return;
    }
    exact_ = text;
    exactShownAt_ = shown;
    exactNearest_ = nearest;
    setValue(nearest);
    // setValue leaves the text alone where the value did not change.
    lineEdit()->setText(textFromValue(value()));
}

QString DecimalSpinBox::exactText() const {
    // Typing leaves the box's value unrounded, setValue rounds it: either
    // way the box holds the text while it shows it.
    if (exact_.isEmpty() || Delocalised(cleanText()) != exact_) return {};
    return exact_;
}

QString DecimalSpinBox::textFromValue(double value) const {
    if (!exact_.isEmpty() && (value == exactShownAt_ || value == exactNearest_)) return Localised(exact_);
    return QDoubleSpinBox::textFromValue(value);
}

double DecimalSpinBox::valueFromText(const QString& text) const {
    const QString plain = Delocalised(text.trimmed());
    double nearest = 0.0;
    if (!engine::ValidViewText(Std(plain)) || !engine::NearestDouble(Std(plain), nearest))
        return QDoubleSpinBox::valueFromText(text);
    // Digits beyond the box's decimals, or beyond the double, are kept as typed.
    const double shown = Rounded(nearest, decimals());
    if (shown != nearest || !engine::TextBeyondDouble(Std(plain), nearest).empty()) {
        exact_ = plain;
        exactShownAt_ = shown;
        exactNearest_ = nearest;
    } else {
        exact_.clear();
    }
    return nearest;
}

QValidator::State DecimalSpinBox::validate(QString& input, int& position) const {
    const QString plain = Delocalised(input.trimmed());
    double nearest = 0.0;
    if (engine::ValidViewText(Std(plain)) && engine::NearestDouble(Std(plain), nearest)) {
        return nearest >= minimum() && nearest <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    }
    if (kPartialNumber.match(plain).hasMatch()) return QValidator::Intermediate;
    return QDoubleSpinBox::validate(input, position);
}

void DecimalSpinBox::stepBy(int steps) {
    const QString shown = exactText();
    if (shown.isEmpty()) {
        QDoubleSpinBox::stepBy(steps);
        return;
    }
    const std::string step = QString::number(singleStep() * steps, 'g', 15).toStdString();
    setExactText(QString::fromStdString(engine::AddTexts(Std(shown), step)));
}

}  // namespace app
