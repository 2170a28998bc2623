// vantrix01_deep: vantrix01's formulas at any depth (see halvane_deep.h).
//
// Everything a call works with lives on its stack or in the blocks the host
// lends, so any number of threads may call at once.
#include <math.h>
#include <mpfr.h>
#include <stdint.h>
#include <string.h>

#include <cmath>
#include <new>

#include "halvane_deep.h"

#define DEEP_EXPORT __attribute__((visibility("default")))

namespace {

// Polls the host every so many iterations (a power of two).
constexpr int32_t kPollEvery = 4096;
// A reference orbit ends once its squared modulus passes this: far beyond
// every test a pixel makes (formula 1 stops at steps of 1e10).
constexpr double kReferenceEscape = 1e60;
// Formula 7: a pixel whose factor of the step's derivative comes this much
// nearer to zero (squared) than the reference's would lose its digits; it is
// computed directly in MPFR instead.
constexpr double kGlitchRatio = 1e-6;
constexpr uint64_t kMagic = 0x68616c76616e6531ull;

// ---------------------------------------------------------------- MPFR ---

struct Complex {
    mpfr_t re, im;
    explicit Complex(mpfr_prec_t bits) {
        mpfr_init2(re, bits);
        mpfr_init2(im, bits);
        mpfr_set_zero(re, 1);
        mpfr_set_zero(im, 1);
    }
    ~Complex() {
        mpfr_clear(re);
        mpfr_clear(im);
    }
    Complex(const Complex&) = delete;
    Complex& operator=(const Complex&) = delete;
    void Set(const Complex& w) {
        mpfr_set(re, w.re, MPFR_RNDN);
        mpfr_set(im, w.im, MPFR_RNDN);
    }
    void SetReal(long k) {
        mpfr_set_si(re, k, MPFR_RNDN);
        mpfr_set_zero(im, 1);
    }
};

// Complex arithmetic in the forms vantrix01 uses; results may alias inputs.
class Arithmetic {
public:
    explicit Arithmetic(mpfr_prec_t bits) {
        mpfr_inits2(bits, t1_, t2_, t3_, d_, static_cast<mpfr_ptr>(nullptr));
    }
    ~Arithmetic() { mpfr_clears(t1_, t2_, t3_, d_, static_cast<mpfr_ptr>(nullptr)); }
    Arithmetic(const Arithmetic&) = delete;
    Arithmetic& operator=(const Arithmetic&) = delete;

    void Mul(Complex& r, const Complex& a, const Complex& b) {
        mpfr_mul(t1_, a.re, b.re, MPFR_RNDN);
        mpfr_mul(t2_, a.im, b.im, MPFR_RNDN);
        mpfr_sub(t3_, t1_, t2_, MPFR_RNDN);
        mpfr_mul(t1_, a.re, b.im, MPFR_RNDN);
        mpfr_mul(t2_, a.im, b.re, MPFR_RNDN);
        mpfr_add(r.im, t1_, t2_, MPFR_RNDN);
        mpfr_swap(r.re, t3_);
    }
    void Div(Complex& r, const Complex& a, const Complex& b) {
        mpfr_sqr(t1_, b.re, MPFR_RNDN);
        mpfr_sqr(t2_, b.im, MPFR_RNDN);
        mpfr_add(d_, t1_, t2_, MPFR_RNDN);
        mpfr_mul(t1_, a.re, b.re, MPFR_RNDN);
        mpfr_mul(t2_, a.im, b.im, MPFR_RNDN);
        mpfr_add(t3_, t1_, t2_, MPFR_RNDN);
        mpfr_mul(t1_, a.im, b.re, MPFR_RNDN);
        mpfr_mul(t2_, a.re, b.im, MPFR_RNDN);
        mpfr_sub(t1_, t1_, t2_, MPFR_RNDN);
        mpfr_div(r.im, t1_, d_, MPFR_RNDN);
        mpfr_div(r.re, t3_, d_, MPFR_RNDN);
    }
    void Add(Complex& r, const Complex& a, const Complex& b) {
        mpfr_add(r.re, a.re, b.re, MPFR_RNDN);
        mpfr_add(r.im, a.im, b.im, MPFR_RNDN);
    }
    void Sub(Complex& r, const Complex& a, const Complex& b) {
        mpfr_sub(r.re, a.re, b.re, MPFR_RNDN);
        mpfr_sub(r.im, a.im, b.im, MPFR_RNDN);
    }
    void Scale(Complex& r, const Complex& a, long k) {
        mpfr_mul_si(r.re, a.re, k, MPFR_RNDN);
        mpfr_mul_si(r.im, a.im, k, MPFR_RNDN);
    }
    void Reciprocal(Complex& w) {
        mpfr_sqr(t1_, w.re, MPFR_RNDN);
        mpfr_sqr(t2_, w.im, MPFR_RNDN);
        mpfr_add(d_, t1_, t2_, MPFR_RNDN);
        mpfr_div(w.re, w.re, d_, MPFR_RNDN);
        mpfr_neg(w.im, w.im, MPFR_RNDN);
        mpfr_div(w.im, w.im, d_, MPFR_RNDN);
    }
    // w := w * i
    static void TurnByI(Complex& w) {
        mpfr_swap(w.re, w.im);
        mpfr_neg(w.re, w.re, MPFR_RNDN);
    }
    // |a - b|^2 into `out`.
    void SquaredDistance(mpfr_t out, const Complex& a, const Complex& b) {
        mpfr_sub(t1_, a.re, b.re, MPFR_RNDN);
        mpfr_sub(t2_, a.im, b.im, MPFR_RNDN);
        mpfr_sqr(t1_, t1_, MPFR_RNDN);
        mpfr_sqr(t2_, t2_, MPFR_RNDN);
        mpfr_add(out, t1_, t2_, MPFR_RNDN);
    }
    void SquaredModulus(mpfr_t out, const Complex& a) {
        mpfr_sqr(t1_, a.re, MPFR_RNDN);
        mpfr_sqr(t2_, a.im, MPFR_RNDN);
        mpfr_add(out, t1_, t2_, MPFR_RNDN);
    }
    // The clamp of the exponential and the cosine: imaginary part first.
    static void Clamp(Complex& w) {
        ClampPart(w.im);
        ClampPart(w.re);
    }
    // e^w (after clamping w in place).
    void Exp(Complex& r, Complex& w) {
        Clamp(w);
        mpfr_exp(d_, w.re, MPFR_RNDN);
        mpfr_cos(t1_, w.im, MPFR_RNDN);
        mpfr_sin(t2_, w.im, MPFR_RNDN);
        mpfr_mul(r.re, d_, t1_, MPFR_RNDN);
        mpfr_mul(r.im, d_, t2_, MPFR_RNDN);
    }
    // cos w (after clamping w in place): cos x cosh y - i sin x sinh y.
    void Cos(Complex& r, Complex& w) {
        Clamp(w);
        mpfr_exp(d_, w.im, MPFR_RNDN);      // q
        mpfr_si_div(t3_, 1, d_, MPFR_RNDN); // 1/q
        mpfr_add(t1_, t3_, d_, MPFR_RNDN);
        mpfr_mul_d(t1_, t1_, 0.5, MPFR_RNDN);
        mpfr_sub(t2_, d_, t3_, MPFR_RNDN);  // q - 1/q
        mpfr_cos(d_, w.re, MPFR_RNDN);
        mpfr_sin(t3_, w.re, MPFR_RNDN);
        mpfr_mul(r.re, d_, t1_, MPFR_RNDN);
        mpfr_neg(t3_, t3_, MPFR_RNDN);
        mpfr_mul_d(t3_, t3_, 0.5, MPFR_RNDN);
        mpfr_mul(r.im, t3_, t2_, MPFR_RNDN);
    }

private:
    static void ClampPart(mpfr_t v) {
        if (mpfr_cmpabs_ui(v, 50) > 0) mpfr_set_si(v, mpfr_sgn(v) > 0 ? 50 : -50, MPFR_RNDN);
    }
    mpfr_t t1_, t2_, t3_, d_;
};

bool ParseInto(mpfr_t out, const char* text) {
    return text != nullptr && text[0] != '\0' && mpfr_set_str(out, text, 10, MPFR_RNDN) == 0;
}

void AddWide(mpfr_t out, const mpfr_t base, HalvaneWide w, mpfr_t scratch) {
    mpfr_set_d(scratch, w.mantissa, MPFR_RNDN);
    mpfr_mul_2si(scratch, scratch, w.exponent, MPFR_RNDN);
    mpfr_add(out, base, scratch, MPFR_RNDN);
}

bool ValidView(const HalvaneDeepView* v) {
    return v != nullptr && v->precision >= 64 && v->precision <= (1 << 24) && v->maxit >= 0;
}

// The reference's c and start z as the host gives them (before the formula's
// own preparation).
struct ViewPoint {
    Complex c, z;
    explicit ViewPoint(mpfr_prec_t bits) : c(bits), z(bits) {}
    bool Parse(const HalvaneDeepView& v) {
        return ParseInto(c.re, v.cRe) && ParseInto(c.im, v.cIm) && ParseInto(z.re, v.zRe) && ParseInto(z.im, v.zIm);
    }
};

bool StepDistanceContinues(mpfr_t distance, mpfr_t low, mpfr_t high) {
    return mpfr_greater_p(distance, low) && mpfr_less_p(distance, high);
}

// One pixel iterated directly in MPFR, exactly as vantrix01 iterates in
// doubles. False when the host asked to stop.
class DirectPixel {
public:
    DirectPixel(const HalvaneDeepView& view, mpfr_prec_t bits)
        : view_(view), a_(bits), z_(bits), c_(bits), prev_(bits), z2_(bits), z3_(bits), z4_(bits), n_(bits),
          d_(bits), e_(bits), p_(bits) {
        mpfr_inits2(bits, s_, low_, high_, bailout_, scratch_, static_cast<mpfr_ptr>(nullptr));
        mpfr_set_d(low_, 1e-24, MPFR_RNDN);
        mpfr_set_d(high_, 1e20, MPFR_RNDN);
        mpfr_set_si(bailout_, view.bailout, MPFR_RNDN);
    }
    ~DirectPixel() { mpfr_clears(s_, low_, high_, bailout_, scratch_, static_cast<mpfr_ptr>(nullptr)); }

    bool Run(const ViewPoint& ref, HalvaneDeepPixel& px, HalvaneDeepGoOn goOn, void* user) {
        px_ = &px;
        goOn_ = goOn;
        user_ = user;
        stopped_ = false;
        AddWide(z_.re, ref.z.re, px.dzRe, scratch_);
        AddWide(z_.im, ref.z.im, px.dzIm, scratch_);
        AddWide(c_.re, ref.c.re, px.dcRe, scratch_);
        AddWide(c_.im, ref.c.im, px.dcIm, scratch_);
        px.count = 0;
        if (view_.insideOut != 0) {
            a_.Reciprocal(c_);
            a_.Reciprocal(z_);
        }
        int32_t count = 0;
        switch (static_cast<uint32_t>(view_.formula)) {
            case 0: count = Formula0(); break;
            case 1: count = Formula1(); break;
            case 2: count = Nova(2); break;
            case 3: count = Nova(3); break;
            case 4: count = Nova(4); break;
            case 5: count = Formula5(); break;
            case 6: count = Formula6(); break;
            case 7: count = Formula7(); break;
            default:
                px.zRe = mpfr_get_d(z_.re, MPFR_RNDN);
                px.zIm = mpfr_get_d(z_.im, MPFR_RNDN);
                return true;
        }
        if (stopped_) return false;
        px.count = count;
        px.zRe = mpfr_get_d(z_.re, MPFR_RNDN);
        px.zIm = mpfr_get_d(z_.im, MPFR_RNDN);
        return true;
    }

private:
    void Record(int32_t index) {
        px_->orbitX[index] = mpfr_get_d(z_.re, MPFR_RNDN);
        px_->orbitY[index] = mpfr_get_d(z_.im, MPFR_RNDN);
    }

    // The frame every formula shares (see vantrix01's Iterate).
    template <typename Test, typename Step>
    int32_t Iterate(Test test, Step step) {
        int32_t count = 0;
        for (;;) {
            const int32_t n = count;
            count = n + 1;
            if (!(n < view_.maxit)) break;
            if (!test()) break;
            Record(count);
            step();
            if (count % kPollEvery == 0 && goOn_ != nullptr && goOn_(user_) == 0) {
                stopped_ = true;
                return 0;
            }
        }
        Record(count);
        return count;
    }

    bool BailoutContinues() {
        a_.SquaredModulus(s_, z_);
        return mpfr_less_p(s_, bailout_);
    }

    int32_t Formula0() {
        return Iterate([&] { return BailoutContinues(); },
                       [&] {
                           a_.Mul(z_, z_, z_);
                           a_.Add(z_, z_, c_);
                       });
    }

    // Formulas 1 to 6: stop by the step distance; `next` steps z_.
    template <typename Next>
    int32_t ByStepDistance(Next next) {
        mpfr_set_ui(s_, 1, MPFR_RNDN);
        return Iterate([&] { return StepDistanceContinues(s_, low_, high_); },
                       [&] {
                           prev_.Set(z_);
                           next();
                           a_.SquaredDistance(s_, prev_, z_);
                       });
    }

    int32_t Formula1() {
        return ByStepDistance([&] {
            a_.Mul(z_, z_, z_);
            a_.Add(z_, z_, c_);
        });
    }

    int32_t Nova(int formula) {
        if (formula == 2) {
            mpfr_add_ui(z_.re, z_.re, 1, MPFR_RNDN);
        } else {
            z_.SetReal(1);
        }
        return ByStepDistance([&] {
            a_.Mul(z2_, z_, z_);
            a_.Mul(z3_, z2_, z_);
            a_.Mul(z4_, z2_, z2_);
            if (formula == 4) {
                a_.Sub(n_, z4_, z_);
                a_.Scale(d_, z3_, 4);
                a_.Sub(d_, d_, z_);
            } else {
                n_.Set(z4_);
                mpfr_sub_ui(n_.re, n_.re, 1, MPFR_RNDN);
                a_.Scale(d_, z3_, 3);
                if (formula == 2) mpfr_sub_ui(d_.re, d_.re, 1, MPFR_RNDN);
            }
            a_.Div(n_, n_, d_);
            a_.Sub(z_, z_, n_);
            a_.Add(z_, z_, c_);
        });
    }

    int32_t Formula5() {
        a_.Exp(e_, z_);  // of the clamped start, for the whole call
        return ByStepDistance([&] {
            a_.Mul(z2_, z_, z_);
            a_.Mul(n_, z_, z2_);
            mpfr_sub_ui(n_.re, n_.re, 1, MPFR_RNDN);
            a_.Scale(d_, z2_, 3);
            a_.Div(n_, n_, d_);
            a_.Mul(n_, e_, n_);
            a_.Sub(z_, z_, n_);
            a_.Add(z_, z_, c_);
        });
    }

    int32_t Formula6() {
        return ByStepDistance([&] {
            a_.Cos(d_, z_);
            a_.Div(z_, c_, d_);
            a_.Mul(z_, z_, z_);
        });
    }

    int32_t Formula7() {
        Arithmetic::TurnByI(c_);
        Arithmetic::TurnByI(z_);
        p_.SetReal(0);  // the previous half-step
        return Iterate([&] { return BailoutContinues(); },
                       [&] {
                           // v := z*z - z/2 + c; z := v*v - P/2 + c; P := v.
                           a_.Mul(n_, z_, z_);
                           mpfr_mul_2si(d_.re, z_.re, -1, MPFR_RNDN);
                           mpfr_mul_2si(d_.im, z_.im, -1, MPFR_RNDN);
                           a_.Sub(n_, n_, d_);
                           a_.Add(n_, n_, c_);
                           a_.Mul(z_, n_, n_);
                           mpfr_mul_2si(d_.re, p_.re, -1, MPFR_RNDN);
                           mpfr_mul_2si(d_.im, p_.im, -1, MPFR_RNDN);
                           a_.Sub(z_, z_, d_);
                           a_.Add(z_, z_, c_);
                           p_.Set(n_);
                       });
    }

    const HalvaneDeepView& view_;
    Arithmetic a_;
    Complex z_, c_, prev_, z2_, z3_, z4_, n_, d_, e_, p_;
    mpfr_t s_, low_, high_, bailout_, scratch_;
    HalvaneDeepPixel* px_ = nullptr;
    HalvaneDeepGoOn goOn_ = nullptr;
    void* user_ = nullptr;
    bool stopped_ = false;
};

// --------------------------------------------------------- the block ---

// Perturbation needs the reference orbit; formulas 2 to 6 and the direct
// method need none.
bool Perturbed(const HalvaneDeepView& v) {
    return v.method == HALVANE_DEEP_AUTOMATIC && (v.formula == 0 || v.formula == 1 || v.formula == 7);
}

bool SameText(const char* a, const char* b) { return a != nullptr && b != nullptr && strcmp(a, b) == 0; }

// Formulas 0 and 1 from z = c (the Mandelbrot set's pictures): the orbit
// from 0 passes through the reference's start at its second entry, so one
// orbit serves both purposes.
bool StartsOnZeroOrbit(const HalvaneDeepView& v) {
    return v.formula != 7 && SameText(v.cRe, v.zRe) && SameText(v.cIm, v.zIm);
}

struct Header {
    uint64_t magic;
    int32_t formula, extended, insideOut, stride;
    int32_t capacity;          // entries per orbit
    int32_t lengthA, lengthB;  // entries filled; A is empty when pixels start on B
    int32_t pad;
    int64_t offsetA, offsetB;  // bytes from the block's start
    // The reference's c and z before the formula's preparation, for the
    // pixels' Inside Out differences.
    long double cRe, cIm, zRe, zIm;
};
static_assert(sizeof(Header) % 16 == 0);

// Reals per orbit entry: Z, and for formula 7 the half-step V too.
int32_t Stride(const HalvaneDeepView& v) { return v.formula == 7 ? 4 : 2; }
int64_t RealSize(const HalvaneDeepView& v) { return v.extended != 0 ? sizeof(long double) : sizeof(double); }

int64_t BlockSize(const HalvaneDeepView& v) {
    if (!Perturbed(v)) return static_cast<int64_t>(sizeof(Header));
    const int64_t capacity = static_cast<int64_t>(v.maxit) + 2;
    const int64_t orbit = (capacity * Stride(v) * RealSize(v) + 15) / 16 * 16;
    return static_cast<int64_t>(sizeof(Header)) + (StartsOnZeroOrbit(v) ? 1 : 2) * orbit;
}

// Computes one reference orbit from `start` (and P = 0) under c into `out`.
template <typename Real>
int32_t ReferenceOrbit(const HalvaneDeepView& v, mpfr_prec_t bits, const Complex& c, const Complex& start, Real* out,
                       int32_t capacity, HalvaneDeepGoOn goOn, void* user, bool& stopped) {
    Arithmetic a(bits);
    Complex z(bits), half(bits), p(bits), v2(bits);
    mpfr_t s, escape;
    mpfr_inits2(bits, s, escape, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_d(escape, kReferenceEscape, MPFR_RNDN);
    z.Set(start);
    const int32_t stride = Stride(v);
    const bool phoenix = v.formula == 7;
    int32_t length = 0;
    for (int32_t k = 0; k < capacity; ++k) {
        Real* entry = out + static_cast<int64_t>(k) * stride;
        if (phoenix) {  // V_k = Z_k^2 - Z_k/2 + c
            a.Mul(v2, z, z);
            mpfr_mul_2si(half.re, z.re, -1, MPFR_RNDN);
            mpfr_mul_2si(half.im, z.im, -1, MPFR_RNDN);
            a.Sub(v2, v2, half);
            a.Add(v2, v2, c);
        }
        if constexpr (sizeof(Real) == sizeof(double)) {
            entry[0] = mpfr_get_d(z.re, MPFR_RNDN);
            entry[1] = mpfr_get_d(z.im, MPFR_RNDN);
            if (phoenix) {
                entry[2] = mpfr_get_d(v2.re, MPFR_RNDN);
                entry[3] = mpfr_get_d(v2.im, MPFR_RNDN);
            }
        } else {
            entry[0] = mpfr_get_ld(z.re, MPFR_RNDN);
            entry[1] = mpfr_get_ld(z.im, MPFR_RNDN);
            if (phoenix) {
                entry[2] = mpfr_get_ld(v2.re, MPFR_RNDN);
                entry[3] = mpfr_get_ld(v2.im, MPFR_RNDN);
            }
        }
        length = k + 1;
        a.SquaredModulus(s, z);
        // Two entries at least, so that a pixel can always take a step.
        if (k >= 1 && !mpfr_less_p(s, escape)) break;
        if (phoenix) {
            a.Mul(z, v2, v2);
            mpfr_mul_2si(half.re, p.re, -1, MPFR_RNDN);
            mpfr_mul_2si(half.im, p.im, -1, MPFR_RNDN);
            a.Sub(z, z, half);
            a.Add(z, z, c);
            p.Set(v2);
        } else {
            a.Mul(z, z, z);
            a.Add(z, z, c);
        }
        if ((k + 1) % 256 == 0 && goOn != nullptr && goOn(user) == 0) {
            stopped = true;
            break;
        }
    }
    mpfr_clears(s, escape, static_cast<mpfr_ptr>(nullptr));
    return length;
}

// The formula's preparation of a point: Inside Out, then formula 7's turn.
void Prepare(const HalvaneDeepView& v, Arithmetic& a, Complex& w) {
    if (v.insideOut != 0) a.Reciprocal(w);
    if (v.formula == 7) Arithmetic::TurnByI(w);
}

int32_t FillBlock(const HalvaneDeepView& v, void* block, int64_t size, HalvaneDeepGoOn goOn, void* user) {
    if (!ValidView(&v) || block == nullptr || size < BlockSize(v)) return -1;
    const mpfr_prec_t bits = v.precision;
    ViewPoint point(bits);
    if (!point.Parse(v)) return -1;
    unsigned char* bytes = static_cast<unsigned char*>(block);
    Header h{};
    h.magic = kMagic;
    h.formula = v.formula;
    h.extended = v.extended;
    h.insideOut = v.insideOut;
    h.stride = Stride(v);
    h.capacity = v.maxit + 2;
    h.cRe = mpfr_get_ld(point.c.re, MPFR_RNDN);
    h.cIm = mpfr_get_ld(point.c.im, MPFR_RNDN);
    h.zRe = mpfr_get_ld(point.z.re, MPFR_RNDN);
    h.zIm = mpfr_get_ld(point.z.im, MPFR_RNDN);
    if (Perturbed(v)) {
        Arithmetic a(bits);
        Prepare(v, a, point.c);
        Prepare(v, a, point.z);
        Complex zero(bits);
        const int64_t orbit = (static_cast<int64_t>(h.capacity) * h.stride * RealSize(v) + 15) / 16 * 16;
        const bool single = StartsOnZeroOrbit(v);
        h.offsetB = sizeof(Header);
        h.offsetA = single ? 0 : h.offsetB + orbit;
        bool stopped = false;
        if (v.extended != 0) {
            h.lengthB = ReferenceOrbit(v, bits, point.c, zero, reinterpret_cast<long double*>(bytes + h.offsetB),
                                       h.capacity, goOn, user, stopped);
            if (!single && !stopped)
                h.lengthA = ReferenceOrbit(v, bits, point.c, point.z,
                                           reinterpret_cast<long double*>(bytes + h.offsetA), h.capacity, goOn,
                                           user, stopped);
        } else {
            h.lengthB = ReferenceOrbit(v, bits, point.c, zero, reinterpret_cast<double*>(bytes + h.offsetB),
                                       h.capacity, goOn, user, stopped);
            if (!single && !stopped)
                h.lengthA = ReferenceOrbit(v, bits, point.c, point.z, reinterpret_cast<double*>(bytes + h.offsetA),
                                           h.capacity, goOn, user, stopped);
        }
        if (stopped) {
            memset(block, 0, sizeof(Header));
            return 0;
        }
    }
    memcpy(block, &h, sizeof h);
    return 1;
}

// ------------------------------------------------------- perturbation ---

template <typename Real>
Real FromWide(HalvaneWide w) {
    if (w.mantissa == 0.0) return Real(0);
    if constexpr (sizeof(Real) == sizeof(double)) {
        return ldexp(w.mantissa, w.exponent);
    } else {
        return ldexpl(static_cast<long double>(w.mantissa), w.exponent);
    }
}

// The difference that a point's preparation makes of a difference d from
// the reference's point r: 1/(r + d) - 1/r = -d / (r (r + d)).
void ReciprocalDifference(long double rRe, long double rIm, long double& dRe, long double& dIm) {
    const long double sRe = rRe + dRe, sIm = rIm + dIm;
    const long double qRe = rRe * sRe - rIm * sIm, qIm = rRe * sIm + rIm * sRe;
    const long double n = qRe * qRe + qIm * qIm;
    const long double re = -(dRe * qRe + dIm * qIm) / n;
    const long double im = -(dIm * qRe - dRe * qIm) / n;
    dRe = re;
    dIm = im;
}

// What a perturbed pixel came to: done, stopped by the host, or to be
// computed directly.
enum class Outcome { Done, Stopped, Direct };

inline bool StepDistanceContinuesD(double d) { return d > 1e-24 && d < 1e20; }

// Whether |z| < |d|, given zz = |z|^2. The squares of a difference far
// smaller than z would underflow (slowly, in hardware) while the answer is
// plain: a difference under 2/3 of z in its largest part is not nearer.
template <typename Real>
inline Real Larger(Real a, Real b) { return a > b ? a : b; }

template <typename Real>
inline bool Nearer(Real zr, Real zi, Real zz, Real dr, Real di) {
    using std::fabs;
    if (Larger(fabs(dr), fabs(di)) * Real(1.5) < Larger(fabs(zr), fabs(zi))) return false;
    return zz < dr * dr + di * di;
}

// The same for the pairs (z, P) and (dz, dP) of formula 7.
template <typename Real>
inline bool NearerPair(Real zr, Real zi, Real pr, Real pi, Real dzr, Real dzi, Real dpr, Real dpi) {
    using std::fabs;
    const Real d = Larger(Larger(fabs(dzr), fabs(dzi)), Larger(fabs(dpr), fabs(dpi)));
    if (d * Real(2) < Larger(Larger(fabs(zr), fabs(zi)), Larger(fabs(pr), fabs(pi)))) return false;
    return zr * zr + zi * zi + pr * pr + pi * pi < dzr * dzr + dzi * dzi + dpr * dpr + dpi * dpi;
}

template <typename Real>
class Perturbation {
public:
    Perturbation(const HalvaneDeepView& v, const Header& h, const unsigned char* block)
        : v_(v), h_(h),
          a_(h.lengthA > 0 ? reinterpret_cast<const Real*>(block + h.offsetA) : nullptr),
          b_(reinterpret_cast<const Real*>(block + h.offsetB)) {}

    Outcome Run(HalvaneDeepPixel& px, HalvaneDeepGoOn goOn, void* user) {
        long double dzRe = FromWide<long double>(px.dzRe), dzIm = FromWide<long double>(px.dzIm);
        long double dcRe = FromWide<long double>(px.dcRe), dcIm = FromWide<long double>(px.dcIm);
        if (h_.insideOut != 0) {
            ReciprocalDifference(h_.cRe, h_.cIm, dcRe, dcIm);
            ReciprocalDifference(h_.zRe, h_.zIm, dzRe, dzIm);
        }
        if (v_.formula == 7) {  // turned by i, as the reference was
            long double t = dzRe;
            dzRe = -dzIm;
            dzIm = t;
            t = dcRe;
            dcRe = -dcIm;
            dcIm = t;
        }
        Start s{static_cast<Real>(dzRe), static_cast<Real>(dzIm), static_cast<Real>(dcRe), static_cast<Real>(dcIm)};
        return v_.formula == 7 ? Phoenix(px, s, goOn, user) : Quadratic(px, s, goOn, user);
    }

private:
    struct Start {
        Real dzRe, dzIm, dcRe, dcIm;
    };

    // The orbit a pixel follows and where on it.
    struct Track {
        const Real* orbit;
        int32_t length;
        int32_t index;
    };

    Track First() const {
        if (a_ != nullptr) return {a_, h_.lengthA, 0};
        return {b_, h_.lengthB, 1};
    }
    Track ZeroOrbit() const { return {b_, h_.lengthB, 0}; }

    static void Finish(HalvaneDeepPixel& px, int32_t count, double x, double y) {
        px.orbitX[count] = x;
        px.orbitY[count] = y;
        px.count = count;
        px.zRe = x;
        px.zIm = y;
    }

    // Formulas 0 and 1: z := z^2 + c, as d := (2Z + d) d + dc.
    Outcome Quadratic(HalvaneDeepPixel& px, const Start& s, HalvaneDeepGoOn goOn, void* user) {
        const int stride = 2;
        const bool byStep = v_.formula == 1;
        const double bailout = static_cast<double>(v_.bailout);
        Track t = First();
        Real dr = s.dzRe, di = s.dzIm;
        double stepDistance = 1.0;
        int32_t count = 0;
        const Real* e = t.orbit + static_cast<int64_t>(t.index) * stride;
        Real zr = e[0] + dr, zi = e[1] + di;
        double x = static_cast<double>(zr), y = static_cast<double>(zi);
        for (;;) {
            const int32_t n = count;
            count = n + 1;
            if (!(n < v_.maxit)) break;
            const double squared = x * x + y * y;
            if (byStep ? !StepDistanceContinuesD(stepDistance) : !(bailout > squared)) break;
            px.orbitX[count] = x;
            px.orbitY[count] = y;
            // Rebase onto the orbit from 0 when the pixel is nearer to 0 than
            // to the reference, or when its orbit ends. (In double, z is x + iy.)
            Real zz;
            if constexpr (sizeof(Real) == sizeof(double)) {
                zz = squared;
            } else {
                zz = zr * zr + zi * zi;
            }
            if (t.index + 1 >= t.length || Nearer(zr, zi, zz, dr, di)) {
                dr = zr;
                di = zi;
                t = ZeroOrbit();
                e = t.orbit;
            }
            const Real ar = e[0] * 2 + dr, ai = e[1] * 2 + di;
            const Real nr = ar * dr - ai * di + s.dcRe;
            const Real ni = ar * di + ai * dr + s.dcIm;
            dr = nr;
            di = ni;
            ++t.index;
            e = t.orbit + static_cast<int64_t>(t.index) * stride;
            zr = e[0] + dr;
            zi = e[1] + di;
            const double px1 = static_cast<double>(zr), py1 = static_cast<double>(zi);
            if (byStep) {
                const double dx = px1 - x, dy = py1 - y;
                stepDistance = dx * dx + dy * dy;
            }
            x = px1;
            y = py1;
            if ((count & (kPollEvery - 1)) == 0 && goOn != nullptr && goOn(user) == 0) return Outcome::Stopped;
        }
        Finish(px, count, x, y);
        return Outcome::Done;
    }

    // Formula 7: v := z^2 - z/2 + c; z := v^2 - P/2 + c; P := v, with the
    // reference's Z, V and P = V one entry back.
    Outcome Phoenix(HalvaneDeepPixel& px, const Start& s, HalvaneDeepGoOn goOn, void* user) {
        const int stride = 4;
        const double bailout = static_cast<double>(v_.bailout);
        Track t = First();
        Real dzr = s.dzRe, dzi = s.dzIm, dpr = 0, dpi = 0;
        int32_t count = 0;
        const Real* e = t.orbit + static_cast<int64_t>(t.index) * stride;
        for (;;) {
            const Real zr = e[0] + dzr, zi = e[1] + dzi;
            const double x = static_cast<double>(zr), y = static_cast<double>(zi);
            const int32_t n = count;
            count = n + 1;
            if (!(n < v_.maxit) || !(bailout > x * x + y * y)) {
                Finish(px, count, x, y);
                return Outcome::Done;
            }
            px.orbitX[count] = x;
            px.orbitY[count] = y;
            Real refPr = t.index == 0 ? Real(0) : e[2 - stride];
            Real refPi = t.index == 0 ? Real(0) : e[3 - stride];
            const Real pr = refPr + dpr, pi = refPi + dpi;
            if (t.index + 1 >= t.length || NearerPair(zr, zi, pr, pi, dzr, dzi, dpr, dpi)) {
                dzr = zr;
                dzi = zi;
                dpr = pr;
                dpi = pi;
                t = ZeroOrbit();
                e = t.orbit;
            }
            const Real Zr = e[0], Zi = e[1], Vr = e[2], Vi = e[3];
            // dv = (2Z - 1/2 + dz) dz + dc
            const Real ar = Zr * 2 - Real(0.5) + dzr, ai = Zi * 2 + dzi;
            const Real dvr = ar * dzr - ai * dzi + s.dcRe;
            const Real dvi = ar * dzi + ai * dzr + s.dcIm;
            // The step's derivative is 2v (2z - 1/2): where either factor
            // comes far nearer to 0 than the reference's, the difference
            // cannot carry the pixel.
            const Real wr = Zr * 2 - Real(0.5), wi = Zi * 2;
            const Real fr = wr + dzr * 2, fi = wi + dzi * 2;
            const Real vr = Vr + dvr, vi = Vi + dvi;
            if (vr * vr + vi * vi < Real(kGlitchRatio) * (Vr * Vr + Vi * Vi) ||
                fr * fr + fi * fi < Real(kGlitchRatio) * (wr * wr + wi * wi)) {
                return Outcome::Direct;
            }
            // dz' = (2V + dv) dv - dP/2 + dc
            const Real br = Vr * 2 + dvr, bi = Vi * 2 + dvi;
            dzr = br * dvr - bi * dvi - dpr * Real(0.5) + s.dcRe;
            dzi = br * dvi + bi * dvr - dpi * Real(0.5) + s.dcIm;
            dpr = dvr;
            dpi = dvi;
            ++t.index;
            e = t.orbit + static_cast<int64_t>(t.index) * stride;
            if ((count & (kPollEvery - 1)) == 0 && goOn != nullptr && goOn(user) == 0) return Outcome::Stopped;
        }
    }

    const HalvaneDeepView& v_;
    const Header& h_;
    const Real* a_;
    const Real* b_;
};

}  // namespace

extern "C" {

DEEP_EXPORT int32_t halvane_deep_version(void) { return HALVANE_DEEP_VERSION; }

DEEP_EXPORT int64_t halvane_deep_reference_size(const HalvaneDeepView* view) {
    if (!ValidView(view)) return -1;
    return BlockSize(*view);
}

DEEP_EXPORT int32_t halvane_deep_reference(const HalvaneDeepView* view, void* block, int64_t size,
                                           HalvaneDeepGoOn goOn, void* user) {
    if (!ValidView(view)) return -1;
    const int32_t result = FillBlock(*view, block, size, goOn, user);
    // MPFR keeps constants per thread; the calling thread may end at any time.
    mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE);
    return result;
}

DEEP_EXPORT int32_t halvane_deep_pixels(const HalvaneDeepView* view, const void* block, HalvaneDeepPixel* pixels,
                                        int32_t n, HalvaneDeepGoOn goOn, void* user) {
    if (!ValidView(view) || block == nullptr || pixels == nullptr || n <= 0) return 0;
    const Header& h = *static_cast<const Header*>(block);
    if (h.magic != kMagic || h.formula != view->formula || h.extended != view->extended) return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    const mpfr_prec_t bits = view->precision;
    // Parsed only when a pixel is computed directly.
    ViewPoint* point = nullptr;
    alignas(ViewPoint) unsigned char pointStorage[sizeof(ViewPoint)];
    DirectPixel* direct = nullptr;
    alignas(DirectPixel) unsigned char directStorage[sizeof(DirectPixel)];
    int32_t done = 0;
    for (; done < n; ++done) {
        HalvaneDeepPixel& px = pixels[done];
        Outcome outcome = Outcome::Direct;
        if (Perturbed(*view)) {
            outcome = view->extended != 0 ? Perturbation<long double>(*view, h, bytes).Run(px, goOn, user)
                                          : Perturbation<double>(*view, h, bytes).Run(px, goOn, user);
        }
        if (outcome == Outcome::Stopped) break;
        if (outcome == Outcome::Direct) {
            if (point == nullptr) {
                point = new (pointStorage) ViewPoint(bits);
                if (!point->Parse(*view)) break;
                direct = new (directStorage) DirectPixel(*view, bits);
            }
            if (!direct->Run(*point, px, goOn, user)) break;
        }
    }
    if (direct != nullptr) direct->~DirectPixel();
    if (point != nullptr) point->~ViewPoint();
    if (point != nullptr) mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE);
    return done;
}

}  // extern "C"
