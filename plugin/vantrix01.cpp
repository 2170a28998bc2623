// vantrix01: the formula plug-in. Iterates one point under one of eight
// formulas and records its orbit in the buffers the host lends it.
//
// Exports exactly two functions with C linkage, `_total` and `_formula`.
// Every expression below is written in the order and form that fixes its
// floating-point result (complex products with their zero terms included),
// so that the orbit is the same bit for bit in every build.
#include <math.h>
#include <stdint.h>

#include "iteration_context.h"

#define VANTRIX_EXPORT __attribute__((visibility("default")))

extern "C" {
VANTRIX_EXPORT int32_t vantrix_total(void) __asm__("_total");
VANTRIX_EXPORT void vantrix_formula(TIterationContext* ctx) __asm__("_formula");
}

namespace {

struct Complex {
    double re;
    double im;
};

inline Complex Mul(Complex a, Complex b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

inline Complex Div(Complex a, Complex b) {
    const double d = b.re * b.re + b.im * b.im;
    return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}

inline Complex Sub(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
inline Complex Add(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
inline Complex Real(double k) { return {k, 0.0}; }

inline Complex Reciprocal(Complex w) { return Div(Real(1.0), w); }

inline double SquaredDistance(Complex from, Complex to) {
    const double dx = to.re - from.re;
    const double dy = to.im - from.im;
    return dx * dx + dy * dy;
}

// Keeps exponentials and trigonometry in range; works on the iterate itself.
inline void Clamp(Complex& z) {
    if (fabs(z.im) > 50.0) z.im = z.im > 0.0 ? 50.0 : -50.0;
    if (fabs(z.re) > 50.0) z.re = z.re > 0.0 ? 50.0 : -50.0;
}

inline Complex ClampedExp(Complex& z) {
    Clamp(z);
    const double m = exp(z.re);
    return {m * cos(z.im), m * sin(z.im)};
}

inline Complex ClampedCos(Complex& z) {
    Clamp(z);
    const double q = exp(z.im);
    return {cos(z.re) * ((1.0 / q + q) * 0.5), (-sin(z.re) * 0.5) * (q - 1.0 / q)};
}

inline bool StepDistanceContinues(double stepDistance) {
    return stepDistance > 1e-24 && stepDistance < 1e20;
}

// The loop every formula shares: count the test, stop at the limit or when
// the formula's test fails, record the iterate, step. `Test` and `Step`
// work on the iterate held in `z`.
template <typename Test, typename Step>
inline int32_t Iterate(const TIterationContext& ctx, Complex& z, Test test, Step step) {
    double* const orbitX = ctx.OrbitX;
    double* const orbitY = ctx.OrbitY;
    const int32_t maxit = ctx.Maxit;
    int32_t count = 0;
    for (;;) {
        const int32_t n = count;
        count = n + 1;
        if (!(n < maxit)) break;
        if (!test(z)) break;
        orbitX[count] = z.re;
        orbitY[count] = z.im;
        step(z);
    }
    orbitX[count] = z.re;
    orbitY[count] = z.im;
    return count;
}

int32_t Formula0(const TIterationContext& ctx, Complex& z) {
    const double cr = ctx.CRe;
    const double ci = ctx.CIm;
    const double bailout = static_cast<double>(ctx.Bailout);
    double x2 = 0.0;
    double y2 = 0.0;
    return Iterate(
        ctx, z,
        [&](const Complex& w) {
            x2 = w.re * w.re;
            y2 = w.im * w.im;
            return bailout > x2 + y2;
        },
        [&](Complex& w) {
            // t + t with t = x*y kept exact: the doubled product is rounded
            // once. It differs from rounding t first only where x*y is
            // subnormal, and keeps the multiplication off the critical path.
            w.im = (w.re + w.re) * w.im + ci;
            w.re = x2 - y2 + cr;
        });
}

// Formulas 1 to 6 stop by the step distance; `next` maps an iterate to the
// one after it (and may clamp the iterate it is given in place).
template <typename Next>
int32_t IterateByStepDistance(const TIterationContext& ctx, Complex& z, Next next) {
    double stepDistance = 1.0;
    return Iterate(
        ctx, z, [&](const Complex&) { return StepDistanceContinues(stepDistance); },
        [&](Complex& w) {
            const Complex previous = w;
            w = next(w);
            stepDistance = SquaredDistance(previous, w);
        });
}

// The nova family: z := z - N / D + c, with N and D formed from z, z^3 and z^4.
template <typename Numerator, typename Denominator>
int32_t Nova(const TIterationContext& ctx, Complex& z, Numerator numerator, Denominator denominator) {
    const Complex c{ctx.CRe, ctx.CIm};
    return IterateByStepDistance(ctx, z, [&](Complex& w) {
        const Complex z2 = Mul(w, w);
        const Complex z3 = Mul(z2, w);
        const Complex z4 = Mul(z2, z2);
        return Add(Sub(w, Div(numerator(w, z4), denominator(w, z3))), c);
    });
}

int32_t Formula1(const TIterationContext& ctx, Complex& z) {
    const Complex c{ctx.CRe, ctx.CIm};
    return IterateByStepDistance(ctx, z, [&](Complex& w) {
        return Complex{w.re * w.re - w.im * w.im + c.re, w.re * w.im + w.im * w.re + c.im};
    });
}

int32_t Formula2(const TIterationContext& ctx, Complex& z) {
    z = Add(z, Real(1.0));
    return Nova(
        ctx, z, [](const Complex&, const Complex& z4) { return Sub(z4, Real(1.0)); },
        [](const Complex&, const Complex& z3) { return Sub(Mul(Real(3.0), z3), Real(1.0)); });
}

int32_t Formula3(const TIterationContext& ctx, Complex& z) {
    z = Real(1.0);
    return Nova(
        ctx, z, [](const Complex&, const Complex& z4) { return Sub(z4, Real(1.0)); },
        [](const Complex&, const Complex& z3) { return Mul(Real(3.0), z3); });
}

int32_t Formula4(const TIterationContext& ctx, Complex& z) {
    z = Real(1.0);
    return Nova(
        ctx, z, [](const Complex& w, const Complex& z4) { return Sub(z4, w); },
        [](const Complex& w, const Complex& z3) { return Sub(Mul(Real(4.0), z3), w); });
}

int32_t Formula5(const TIterationContext& ctx, Complex& z) {
    const Complex c{ctx.CRe, ctx.CIm};
    const Complex e = ClampedExp(z);  // of the clamped start, for the whole call
    return IterateByStepDistance(ctx, z, [&](Complex& w) {
        const Complex z2 = Mul(w, w);
        const Complex numerator = Sub(Mul(w, z2), Real(1.0));
        const Complex denominator = Mul(Real(3.0), z2);
        return Add(Sub(w, Mul(e, Div(numerator, denominator))), c);
    });
}

int32_t Formula6(const TIterationContext& ctx, Complex& z) {
    const Complex c{ctx.CRe, ctx.CIm};
    return IterateByStepDistance(ctx, z, [&](Complex& w) {
        const Complex k = ClampedCos(w);
        const Complex q = Div(c, k);
        return Mul(q, q);
    });
}

int32_t Formula7(const TIterationContext& ctx, Complex& z) {
    const Complex i{0.0, 1.0};
    const Complex p = Real(0.5);
    const Complex c = Mul(Complex{ctx.CRe, ctx.CIm}, i);
    z = Mul(z, i);
    Complex previousHalfStep{0.0, 0.0};
    const double bailout = static_cast<double>(ctx.Bailout);
    return Iterate(
        ctx, z, [&](const Complex& w) { return bailout > w.re * w.re + w.im * w.im; },
        [&](Complex& w) {
            const Complex v = Add(Sub(Mul(w, w), Mul(p, w)), c);
            w = Add(Sub(Mul(v, v), Mul(p, previousHalfStep)), c);
            previousHalfStep = v;
        });
}

}  // namespace

int32_t vantrix_total(void) { return 2; }

void vantrix_formula(TIterationContext* ctx) {
    ctx->IterCount = 0;
    Complex z{ctx->ZRe, ctx->ZIm};
    Complex c{ctx->CRe, ctx->CIm};
    if (ctx->InsideOut != 0) {
        c = Reciprocal(c);
        z = Reciprocal(z);
    }
    ctx->ZRe = z.re;
    ctx->ZIm = z.im;
    ctx->CRe = c.re;
    ctx->CIm = c.im;

    int32_t count = 0;
    switch (static_cast<uint32_t>(ctx->FormulaNo)) {
        case 0: count = Formula0(*ctx, z); break;
        case 1: count = Formula1(*ctx, z); break;
        case 2: count = Formula2(*ctx, z); break;
        case 3: count = Formula3(*ctx, z); break;
        case 4: count = Formula4(*ctx, z); break;
        case 5: count = Formula5(*ctx, z); break;
        case 6: count = Formula6(*ctx, z); break;
        case 7: count = Formula7(*ctx, z); break;
        default: return;
    }
    ctx->IterCount = count;
    ctx->ZRe = z.re;
    ctx->ZIm = z.im;
}
