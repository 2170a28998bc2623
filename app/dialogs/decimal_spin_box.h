// A spin box for a real that may carry more digits than a double holds (the
// Julia constant of a deep view). Until it holds such a value it is exactly
// a QDoubleSpinBox; once it does, it shows every digit, its arrows step the
// digits exactly, and exactText() hands them back.
#pragma once

#include <QDoubleSpinBox>
#include <QString>

namespace app {

class DecimalSpinBox : public QDoubleSpinBox {
    Q_OBJECT
public:
    using QDoubleSpinBox::QDoubleSpinBox;

    // Shows `text` ("." as decimal mark) with every digit; "" goes back to
    // the double the box holds.
    void setExactText(const QString& text);
    // The digits shown where the box shows more than its decimals of a
    // double, else "" (the box's value() is what it shows).
    QString exactText() const;

    QValidator::State validate(QString& input, int& position) const override;
    void stepBy(int steps) override;

protected:
    QString textFromValue(double value) const override;
    double valueFromText(const QString& text) const override;

private:
    QString Delocalised(QString text) const;
    QString Localised(const QString& text) const;

    // Typing digits beyond the double's makes them the exact text; a const
    // hook of QDoubleSpinBox hands them over.
    mutable QString exact_;
    mutable double exactShownAt_ = 0.0;  // the box's (rounded) value while exact_ is shown
    mutable double exactNearest_ = 0.0;  // and its value where typing left it unrounded
};

}  // namespace app
