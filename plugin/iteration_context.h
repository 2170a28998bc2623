// The one record shared by halvane and the vantrix01 plug-in.
//
// Both sides compile this declaration, so the byte layout is pinned here by
// static assertions: a 32-bit build has the 508-byte layout that parameter
// tools and older plug-ins expect; a 64-bit build widens the four pointer
// fields and moves everything after them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 4)
struct TIterationContext {
    double CRe;
    double CIm;
    double ZRe;
    double ZIm;
    double XMin;
    double XMax;
    double CenterX;
    double YMin;
    double YMax;
    double CenterY;
    double SelXMin;
    double SelXMax;
    double SelCenterX;
    double SelYMin;
    double SelYMax;
    double SelCenterY;
    double PrevCenterX;
    double PrevCenterY;
    double JuliaX;
    double JuliaY;
    double SelMagnification;
    double Magnification;
    double HalfSpanX;
    double HalfSpanY;
    double AspectX;
    double AspectY;
    double RenderX;
    double RenderY;
    double RenderExtra1;
    double RenderExtra2;
    double dFactor3;
    double dFactor4;
    double dFactor5;
    double epsilon;
    unsigned char Reserved272[24];
    double RedStep;
    double BluStep;
    double GrnStep;
    double RedStart;
    double BluStart;
    double GrnStart;
    double RedSaturate;
    double BluSaturate;
    double GrnSaturate;
    double RedOffset;
    double BluOffset;
    double GrnOffset;
    const char* FormulaName;
    const char* RenderName;
    unsigned char ReservedAfterNames[8];
    double* OrbitX;
    double* OrbitY;
    unsigned char ReservedAfterOrbit[12];
    int32_t ImageWidth;
    int32_t ImageHeight;
    int32_t Bailout;
    int32_t Maxit;
    int32_t IterCount;
    unsigned char ReservedAfterIterCount[16];
    int32_t FormulaNo;
    int32_t RenderNo;
    unsigned char ReservedAfterRenderNo[8];
    int32_t ReservedNo;
    int32_t BlendNo;
    int32_t ColorOrderNo;
    int32_t JuliaMode;
    int32_t JuliaFixed;
    int32_t InsideOut;
    int32_t RotationMode;
};
#pragma pack(pop)

#ifdef __cplusplus
namespace iteration_context_layout {
// Extra bytes that each pointer field adds over the 4-byte layout.
constexpr size_t kWiden = sizeof(void*) - 4;
constexpr size_t At(size_t offset32, size_t pointersBefore) {
    return offset32 + pointersBefore * kWiden;
}
static_assert(sizeof(double) == 8 && sizeof(int32_t) == 4);
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8);
static_assert(offsetof(TIterationContext, CRe) == 0);
static_assert(offsetof(TIterationContext, CIm) == 8);
static_assert(offsetof(TIterationContext, ZRe) == 16);
static_assert(offsetof(TIterationContext, ZIm) == 24);
static_assert(offsetof(TIterationContext, XMin) == 32);
static_assert(offsetof(TIterationContext, XMax) == 40);
static_assert(offsetof(TIterationContext, CenterX) == 48);
static_assert(offsetof(TIterationContext, YMin) == 56);
static_assert(offsetof(TIterationContext, YMax) == 64);
static_assert(offsetof(TIterationContext, CenterY) == 72);
static_assert(offsetof(TIterationContext, SelXMin) == 80);
static_assert(offsetof(TIterationContext, SelXMax) == 88);
static_assert(offsetof(TIterationContext, SelCenterX) == 96);
static_assert(offsetof(TIterationContext, SelYMin) == 104);
static_assert(offsetof(TIterationContext, SelYMax) == 112);
static_assert(offsetof(TIterationContext, SelCenterY) == 120);
static_assert(offsetof(TIterationContext, PrevCenterX) == 128);
static_assert(offsetof(TIterationContext, PrevCenterY) == 136);
static_assert(offsetof(TIterationContext, JuliaX) == 144);
static_assert(offsetof(TIterationContext, JuliaY) == 152);
static_assert(offsetof(TIterationContext, SelMagnification) == 160);
static_assert(offsetof(TIterationContext, Magnification) == 168);
static_assert(offsetof(TIterationContext, HalfSpanX) == 176);
static_assert(offsetof(TIterationContext, HalfSpanY) == 184);
static_assert(offsetof(TIterationContext, AspectX) == 192);
static_assert(offsetof(TIterationContext, AspectY) == 200);
static_assert(offsetof(TIterationContext, RenderX) == 208);
static_assert(offsetof(TIterationContext, RenderY) == 216);
static_assert(offsetof(TIterationContext, RenderExtra1) == 224);
static_assert(offsetof(TIterationContext, RenderExtra2) == 232);
static_assert(offsetof(TIterationContext, dFactor3) == 240);
static_assert(offsetof(TIterationContext, dFactor4) == 248);
static_assert(offsetof(TIterationContext, dFactor5) == 256);
static_assert(offsetof(TIterationContext, epsilon) == 264);
static_assert(offsetof(TIterationContext, Reserved272) == 272);
static_assert(offsetof(TIterationContext, RedStep) == 296);
static_assert(offsetof(TIterationContext, BluStep) == 304);
static_assert(offsetof(TIterationContext, GrnStep) == 312);
static_assert(offsetof(TIterationContext, RedStart) == 320);
static_assert(offsetof(TIterationContext, BluStart) == 328);
static_assert(offsetof(TIterationContext, GrnStart) == 336);
static_assert(offsetof(TIterationContext, RedSaturate) == 344);
static_assert(offsetof(TIterationContext, BluSaturate) == 352);
static_assert(offsetof(TIterationContext, GrnSaturate) == 360);
static_assert(offsetof(TIterationContext, RedOffset) == 368);
static_assert(offsetof(TIterationContext, BluOffset) == 376);
static_assert(offsetof(TIterationContext, GrnOffset) == 384);
static_assert(offsetof(TIterationContext, FormulaName) == At(392, 0));
static_assert(offsetof(TIterationContext, RenderName) == At(396, 1));
static_assert(offsetof(TIterationContext, ReservedAfterNames) == At(400, 2));
static_assert(offsetof(TIterationContext, OrbitX) == At(408, 2));
static_assert(offsetof(TIterationContext, OrbitY) == At(412, 3));
static_assert(offsetof(TIterationContext, ReservedAfterOrbit) == At(416, 4));
static_assert(offsetof(TIterationContext, ImageWidth) == At(428, 4));
static_assert(offsetof(TIterationContext, ImageHeight) == At(432, 4));
static_assert(offsetof(TIterationContext, Bailout) == At(436, 4));
static_assert(offsetof(TIterationContext, Maxit) == At(440, 4));
static_assert(offsetof(TIterationContext, IterCount) == At(444, 4));
static_assert(offsetof(TIterationContext, ReservedAfterIterCount) == At(448, 4));
static_assert(offsetof(TIterationContext, FormulaNo) == At(464, 4));
static_assert(offsetof(TIterationContext, RenderNo) == At(468, 4));
static_assert(offsetof(TIterationContext, ReservedAfterRenderNo) == At(472, 4));
static_assert(offsetof(TIterationContext, ReservedNo) == At(480, 4));
static_assert(offsetof(TIterationContext, BlendNo) == At(484, 4));
static_assert(offsetof(TIterationContext, ColorOrderNo) == At(488, 4));
static_assert(offsetof(TIterationContext, JuliaMode) == At(492, 4));
static_assert(offsetof(TIterationContext, JuliaFixed) == At(496, 4));
static_assert(offsetof(TIterationContext, InsideOut) == At(500, 4));
static_assert(offsetof(TIterationContext, RotationMode) == At(504, 4));
static_assert(sizeof(TIterationContext) == At(508, 4));
}  // namespace iteration_context_layout
#endif

// A call writes orbit entries up to index Maxit + 1: the host lends buffers
// of at least Maxit + 2 entries and never hands the plug-in a larger Maxit
// than kMaxIterationLimit.
constexpr int32_t kMaxIterationLimit = 1000000;
// The entries the buffers hold for a limit of `maxit` (0 or more).
constexpr int32_t OrbitEntriesFor(int32_t maxit) { return (maxit < 0 ? 0 : maxit) + 2; }
