/* The deep formulas: vantrix01's eight formulas at views deeper than doubles
 * can hold, in a library of their own (vantrix01_deep.so), loaded beside
 * vantrix01.so.
 *
 * A C interface: plain structs, no allocation that crosses it (the host
 * allocates every buffer and the library only fills it), and no static
 * working state, so one loaded copy serves every thread at once.
 *
 * The host describes the picture by one reference point (its c and its
 * start z, as exact decimal texts, already in the plane the formula sees
 * after the host's Rotate90/Mirror transform) and every pixel by the
 * differences of its start z and its c from the reference's, each part a
 * double mantissa with an exponent of its own. The library applies the
 * formula's own preparation (Inside Out's reciprocals, formula 7's turn by
 * i) and iterates exactly as vantrix01 does, recording the orbit in the
 * buffers the host lends.
 *
 * Formulas 0, 1 and 7 are computed by perturbation: one reference orbit per
 * picture in MPFR, every pixel as a difference from it in double (in long
 * double, whose exponent reaches 1e4932, when `extended` is set), rebased
 * onto an orbit from z = 0 when the pixel comes nearer to 0 than to the
 * reference. Formulas 2 to 6, and any pixel of formula 7 whose difference
 * would lose its digits, are iterated directly in MPFR at `precision` bits.
 *
 * Use:
 *   size = halvane_deep_reference_size(&view);      // bytes, 16-aligned block
 *   halvane_deep_reference(&view, block, size, ...) // once per picture
 *   halvane_deep_pixels(&view, block, pixels, n, ...) // from any thread
 */
#ifndef HALVANE_DEEP_H
#define HALVANE_DEEP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define HALVANE_DEEP_VERSION 1
#define HALVANE_DEEP_LIBRARY "vantrix01_deep.so"

/* mantissa * 2^exponent. */
typedef struct HalvaneWide {
    double mantissa;
    int32_t exponent;
} HalvaneWide;

enum {
    HALVANE_DEEP_AUTOMATIC = 0, /* perturbation where the formula allows it */
    HALVANE_DEEP_DIRECT = 1     /* every pixel directly in MPFR (the yardstick) */
};

typedef struct HalvaneDeepView {
    int32_t formula;   /* 0 to 7; another number iterates nothing (count 0) */
    int32_t maxit;     /* the iteration limit, 0 to 1000000 */
    int32_t bailout;   /* the squared escape radius of formulas 0 and 7 */
    int32_t insideOut; /* non-zero: c and z are replaced by their reciprocals */
    int32_t method;    /* HALVANE_DEEP_AUTOMATIC or HALVANE_DEEP_DIRECT */
    int32_t precision; /* bits of the MPFR numbers (at least 64) */
    int32_t extended;  /* non-zero: differences in long double (beyond ~1e300) */
    /* The reference's c and start z: decimal texts, "." as decimal mark,
     * an optional exponent ("1.5E-400"). */
    const char* cRe;
    const char* cIm;
    const char* zRe;
    const char* zIm;
} HalvaneDeepView;

typedef struct HalvaneDeepPixel {
    /* In: the pixel's start z and c minus the reference's. */
    HalvaneWide dzRe, dzIm, dcRe, dcIm;
    /* In: the orbit buffers, at least maxit + 2 entries each. Entries 1 to
     * count are written as vantrix01 writes them; entry 0 is never touched. */
    double* orbitX;
    double* orbitY;
    /* Out: the loop-head tests made (IterCount) and the final z. */
    int32_t count;
    double zRe, zIm;
} HalvaneDeepPixel;

/* Polled during long work; returning 0 asks the library to stop early. */
typedef int32_t (*HalvaneDeepGoOn)(void* user);

/* The library's HALVANE_DEEP_VERSION. */
int32_t halvane_deep_version(void);

/* Bytes of the reference block that `view` needs (a multiple of 16); the
 * host allocates it 16-aligned. -1 when the view is not valid (a text that
 * is no number, a precision below 64). */
int64_t halvane_deep_reference_size(const HalvaneDeepView* view);

/* Computes the reference orbit(s) into `block`: 1 when done, 0 when `goOn`
 * asked to stop (the block is then unusable), -1 for a bad view or size.
 * The same view gives the same bytes every time. */
int32_t halvane_deep_reference(const HalvaneDeepView* view, void* block, int64_t size, HalvaneDeepGoOn goOn,
                               void* user);

/* Iterates `n` pixels against a block that halvane_deep_reference filled
 * for the same view; returns how many pixels, from the first on, are done
 * (fewer than n only when `goOn` asked to stop). Each pixel's result
 * depends on that pixel alone, never on the others in the batch. */
int32_t halvane_deep_pixels(const HalvaneDeepView* view, const void* block, HalvaneDeepPixel* pixels, int32_t n,
                            HalvaneDeepGoOn goOn, void* user);

#ifdef __cplusplus
}
#endif

#endif
