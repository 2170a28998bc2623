#include "deep_compute.h"

#include <dlfcn.h>
#include <mpfr.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <filesystem>
#include <new>

namespace engine {

namespace {

// An MPFR number that clears itself.
class Number {
public:
    explicit Number(mpfr_prec_t bits) { mpfr_init2(v_, bits); }
    ~Number() { mpfr_clear(v_); }
    Number(const Number&) = delete;
    Number& operator=(const Number&) = delete;
    mpfr_ptr get() { return v_; }
    operator mpfr_ptr() { return v_; }

private:
    mpfr_t v_;
};

bool Parse(mpfr_ptr out, const std::string& text) {
    return !text.empty() && mpfr_set_str(out, text.c_str(), 10, MPFR_RNDN) == 0 && mpfr_number_p(out);
}

HalvaneWide Wide(mpfr_ptr v) {
    if (mpfr_zero_p(v) || !mpfr_number_p(v)) return {0.0, 0};
    long exponent = 0;
    const double mantissa = mpfr_get_d_2exp(&exponent, v, MPFR_RNDN);
    // The library's exponents are 32-bit: far beyond any view's depth.
    exponent = std::clamp<long>(exponent, INT32_MIN / 2, INT32_MAX / 2);
    return {mantissa, static_cast<int32_t>(exponent)};
}

HalvaneWide Negated(HalvaneWide w) { return {-w.mantissa, w.exponent}; }

std::string NegatedText(const std::string& text) {
    if (!text.empty() && text[0] == '-') return text.substr(1);
    if (!text.empty() && text[0] == '+') return "-" + text.substr(1);
    return "-" + text;
}

// Applies the plane transform of Rotate90 (1), Rotate90Mirror (2) and
// Mirror (3) to a pair, as the pixel evaluation does to c and z.
template <typename T, typename Negate>
void Transform(int32_t mode, T& re, T& im, Negate negate) {
    T a = re, b = im;
    switch (mode) {
        case 1: re = b; im = a; break;
        case 2: re = negate(b); im = negate(a); break;
        case 3: re = negate(a); im = negate(b); break;
        default: break;
    }
}

constexpr double kOffZero = 1e-20;

// The pixel offsets of one axis from the centre, and the start-z
// differences with the part kept off zero; `count` pixels over a half span
// of `halfSpan` (in MPFR), `points` the pixels' points in doubles.
void AxisDifferences(mpfr_ptr centre, mpfr_ptr halfSpan, int32_t count, mpfr_prec_t bits,
                     std::vector<HalvaneWide>& offsets, std::vector<HalvaneWide>& startZ,
                     std::vector<double>& points) {
    offsets.assign(static_cast<size_t>(count), HalvaneWide{});
    startZ.assign(static_cast<size_t>(count), HalvaneWide{});
    points.assign(static_cast<size_t>(count), 0.0);
    Number offset(80), point(bits + 80), kept(bits + 80), bound(64);
    mpfr_set_d(bound, kOffZero, MPFR_RNDN);
    for (int32_t i = 0; i < count; ++i) {
        const size_t k = static_cast<size_t>(i);
        // offset = halfSpan * (2i - count) / count; point = centre + offset.
        mpfr_mul_si(offset, halfSpan, 2 * static_cast<long>(i) - count, MPFR_RNDN);
        mpfr_div_si(offset, offset, count, MPFR_RNDN);
        mpfr_add(point, centre, offset, MPFR_RNDN);
        offsets[k] = Wide(offset);
        points[k] = mpfr_get_d(point, MPFR_RNDN);
        startZ[k] = offsets[k];
        if (mpfr_cmpabs(point, bound) < 0) {
            // z starts at +-1e-20 (an exact 0 at -1e-20).
            mpfr_set_d(kept, mpfr_sgn(point.get()) > 0 ? kOffZero : -kOffZero, MPFR_RNDN);
            mpfr_sub(kept, kept, centre, MPFR_RNDN);
            startZ[k] = Wide(kept);
        }
    }
}

}  // namespace

bool DoublesSeparate(double min, double max, double step) {
    if (!(step >= DBL_MIN) || !std::isfinite(step)) return false;
    const double largest = std::max(std::fabs(min), std::fabs(max));
    if (!std::isfinite(largest)) return false;
    const double ulp = std::nextafter(largest, INFINITY) - largest;
    return step >= kSeparatingUlps * ulp;
}

DeepLibrary::~DeepLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

std::unique_ptr<DeepLibrary> LoadDeepLibrary(const std::vector<std::string>& folders, const std::string& fileName) {
    std::vector<std::string> candidates;
    for (const std::string& folder : folders) {
        std::error_code error;
        const std::filesystem::path path = std::filesystem::path(folder) / fileName;
        if (std::filesystem::exists(path, error)) candidates.push_back(path.string());
    }
    candidates.push_back(fileName);
    for (const std::string& candidate : candidates) {
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) continue;
        auto version = reinterpret_cast<int32_t (*)()>(dlsym(handle, "halvane_deep_version"));
        auto size = reinterpret_cast<DeepLibrary::SizeFn>(dlsym(handle, "halvane_deep_reference_size"));
        auto reference = reinterpret_cast<DeepLibrary::ReferenceFn>(dlsym(handle, "halvane_deep_reference"));
        auto pixels = reinterpret_cast<DeepLibrary::PixelsFn>(dlsym(handle, "halvane_deep_pixels"));
        if (version != nullptr && version() == HALVANE_DEEP_VERSION && size != nullptr && reference != nullptr &&
            pixels != nullptr) {
            return std::make_unique<DeepLibrary>(handle, size, reference, pixels);
        }
        dlclose(handle);
    }
    return nullptr;
}

std::string DeepFrame::KeyOf(const Inputs& in) {
    const TIterationContext& s = in.start;
    const ExactView& v = in.exact;
    std::string key;
    for (int32_t n : {s.FormulaNo, s.Maxit, s.Bailout, s.InsideOut, s.RotationMode, s.JuliaMode, s.JuliaFixed,
                      s.ImageWidth, s.ImageHeight, static_cast<int32_t>(in.direct)}) {
        key += std::to_string(n) + ",";
    }
    std::vector<std::string> texts{ExactText(v.centerX, s.CenterX), ExactText(v.centerY, s.CenterY),
                                   ExactText(v.magnification, s.Magnification), ShortestText(s.AspectX),
                                   ShortestText(s.AspectY)};
    // c matters only in Julia mode (in a fixed run, what the record's c holds).
    if (s.JuliaMode != 0 && s.JuliaFixed == 0) {
        texts.insert(texts.end(), {ExactText(v.juliaX, s.JuliaX), ExactText(v.juliaY, s.JuliaY)});
    } else if (s.JuliaMode != 0) {
        texts.insert(texts.end(), {ExactText(v.juliaX, in.firstCRe), ExactText(v.juliaY, in.firstCIm),
                                   ExactText(v.juliaX, in.laterCRe), ExactText(v.juliaY, in.laterCIm)});
    }
    for (const std::string& text : texts) key += text + ",";
    return key;
}

bool DeepFrame::Build(const Inputs& in) {
    const TIterationContext& s = in.start;
    const ExactView& v = in.exact;
    const int32_t width = std::max(0, s.ImageWidth), height = std::max(0, s.ImageHeight);
    const std::string centerX = ExactText(v.centerX, s.CenterX), centerY = ExactText(v.centerY, s.CenterY);
    Number magnification(256);
    if (!Parse(magnification, ExactText(v.magnification, s.Magnification)) || mpfr_sgn(magnification.get()) <= 0) {
        return false;
    }
    // Bits for the centre's magnitude, the depth and the picture's size,
    // and a margin of 64.
    Number probe(64);
    long bits = 64 + std::max<long>(0, mpfr_get_exp(magnification.get())) +
                static_cast<long>(std::ceil(std::log2(std::max({width, height, 1}) + 1.0)));
    for (const std::string& text : {centerX, centerY}) {
        if (!Parse(probe, text)) return false;
        if (!mpfr_zero_p(probe.get())) bits += std::max<long>(0, mpfr_get_exp(probe.get()));
    }
    bits = std::min<long>(bits, 1 << 22);
    const mpfr_prec_t precision = static_cast<mpfr_prec_t>(bits);
    Number cx(precision), cy(precision);
    Parse(cx, centerX);
    Parse(cy, centerY);
    // Half spans 2/m times the aspect factors, as the double path fits the view.
    Number halfX(80), halfY(80), step(80);
    mpfr_si_div(halfX, 2, magnification, MPFR_RNDN);
    mpfr_mul_d(halfY, halfX, s.AspectY, MPFR_RNDN);
    mpfr_mul_d(halfX, halfX, s.AspectX, MPFR_RNDN);
    std::vector<HalvaneWide> offsetsX, offsetsY;
    AxisDifferences(cx, halfX, width, precision, offsetsX, zX_, pointX_);
    AxisDifferences(cy, halfY, height, precision, offsetsY, zY_, pointY_);
    // Differences below the doubles' range (beyond about 1e300) are carried
    // in long double.
    mpfr_div_si(step, halfX, std::max(width, 1), MPFR_RNDN);
    bool extended = mpfr_zero_p(step.get()) || mpfr_get_exp(step.get()) < -960;
    mpfr_div_si(step, halfY, std::max(height, 1), MPFR_RNDN);
    extended = extended || mpfr_zero_p(step.get()) || mpfr_get_exp(step.get()) < -960;

    julia_ = s.JuliaMode != 0;
    if (julia_) {
        // Every pixel shares c: the Julia constant, or in a fixed run what c
        // holds (column 0 may differ where blend method 22 moved c off zero).
        const bool fixed = s.JuliaFixed != 0;
        const double laterRe = fixed ? in.laterCRe : s.JuliaX, laterIm = fixed ? in.laterCIm : s.JuliaY;
        const double firstRe = fixed ? in.firstCRe : s.JuliaX, firstIm = fixed ? in.firstCIm : s.JuliaY;
        cRe_ = ExactText(v.juliaX, laterRe);
        cIm_ = ExactText(v.juliaY, laterIm);
        Number later(precision), first(precision);
        if (!Parse(later, cRe_) || !Parse(first, ExactText(v.juliaX, firstRe))) return false;
        mpfr_sub(first, first, later, MPFR_RNDN);
        firstCX_ = Wide(first);
        if (!Parse(later, cIm_) || !Parse(first, ExactText(v.juliaY, firstIm))) return false;
        mpfr_sub(first, first, later, MPFR_RNDN);
        firstCY_ = Wide(first);
        cX_.clear();
        cY_.clear();
    } else {
        cRe_ = centerX;
        cIm_ = centerY;
        cX_ = std::move(offsetsX);
        cY_ = std::move(offsetsY);
    }
    zRe_ = centerX;
    zIm_ = centerY;
    rotation_ = s.RotationMode;
    Transform(rotation_, cRe_, cIm_, NegatedText);
    Transform(rotation_, zRe_, zIm_, NegatedText);

    view_ = HalvaneDeepView{};
    view_.formula = s.FormulaNo;
    view_.maxit = std::clamp(s.Maxit, 0, kMaxIterationLimit);
    view_.bailout = s.Bailout;
    view_.insideOut = s.InsideOut != 0;
    view_.method = in.direct ? HALVANE_DEEP_DIRECT : HALVANE_DEEP_AUTOMATIC;
    view_.precision = static_cast<int32_t>(precision);
    view_.extended = extended;
    view_.cRe = cRe_.c_str();
    view_.cIm = cIm_.c_str();
    view_.zRe = zRe_.c_str();
    view_.zIm = zIm_.c_str();
    return true;
}

void DeepFrame::Pixel(int32_t column, int32_t row, HalvaneDeepPixel& px) const {
    const size_t i = static_cast<size_t>(column), j = static_cast<size_t>(row);
    px.dzRe = zX_[i];
    px.dzIm = zY_[j];
    if (julia_) {
        px.dcRe = column == 0 ? firstCX_ : HalvaneWide{};
        px.dcIm = column == 0 ? firstCY_ : HalvaneWide{};
    } else {
        px.dcRe = cX_[i];
        px.dcIm = cY_[j];
    }
    Transform(rotation_, px.dzRe, px.dzIm, Negated);
    Transform(rotation_, px.dcRe, px.dcIm, Negated);
    px.count = 0;
    px.zRe = px.zIm = 0.0;
}

bool EnsureReference(const DeepLibrary& library, const DeepFrame& frame, const std::string& key,
                     DeepReference& reference, HalvaneDeepGoOn goOn, void* user) {
    if (reference.ready && reference.key == key) return true;
    reference.ready = false;
    reference.key.clear();
    const int64_t size = library.Size(&frame.View());
    if (size <= 0) return false;
    try {
        reference.block.assign(static_cast<size_t>((size + 15) / 16), 0.0L);
    } catch (const std::bad_alloc&) {
        reference.block.clear();
        return false;
    }
    if (library.Reference(&frame.View(), reference.block.data(), reference.Bytes(), goOn, user) != 1) return false;
    reference.key = key;
    reference.ready = true;
    return true;
}

int32_t DeepBatchPixels(int32_t maxit) {
    const int64_t perPixel = int64_t{16} * OrbitEntriesFor(maxit);
    return static_cast<int32_t>(std::clamp<int64_t>(kDeepBatchBytes / perPixel, 1, kDeepBatchPixels));
}

void DeepWorkspace::Prepare(int32_t maxit) {
    const size_t capacity = static_cast<size_t>(DeepBatchPixels(maxit));
    if (slots_.size() > capacity) slots_.resize(capacity);
    while (slots_.size() < capacity) slots_.emplace_back();
    for (OrbitBuffers& slot : slots_) slot.Hold(maxit);
    pixels_.resize(capacity);
}

int32_t DeepWorkspace::Compute(const DeepLibrary& library, const DeepFrame& frame, const DeepReference& reference,
                               int32_t row, int32_t firstColumn, int32_t count, HalvaneDeepGoOn goOn, void* user,
                               int32_t stride) {
    count = std::min(count, Capacity());
    for (int32_t k = 0; k < count; ++k) {
        HalvaneDeepPixel& px = pixels_[static_cast<size_t>(k)];
        frame.Pixel(firstColumn + k * stride, row, px);
        px.orbitX = slots_[static_cast<size_t>(k)].X.data();
        px.orbitY = slots_[static_cast<size_t>(k)].Y.data();
    }
    if (count <= 0) return 0;
    return std::clamp(library.Pixels(&frame.View(), reference.Data(), pixels_.data(), count, goOn, user), 0, count);
}

void DeepWorkspace::Finish(int32_t k, TIterationContext& ctx, OrbitBuffers& entry) {
    const HalvaneDeepPixel& px = pixels_[static_cast<size_t>(k)];
    OrbitBuffers& slot = slots_[static_cast<size_t>(k)];
    LendOrbit(ctx, slot);
    ctx.IterCount = px.count;
    ctx.ZRe = px.zRe;
    ctx.ZIm = px.zIm;
    slot.X[0] = entry.X[0];
    slot.Y[0] = entry.Y[0];
    ApplyRenderMethod(ctx, slot);
    entry.X[0] = slot.X[0];
    entry.Y[0] = slot.Y[0];
}

}  // namespace engine
