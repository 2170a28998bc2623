// Stand-ins for a broken plug-in: one whose total is 0, one without `_formula`.
#include <stdint.h>

#include "iteration_context.h"

extern "C" {
__attribute__((visibility("default"))) int32_t fake_total(void) __asm__("_total");
int32_t fake_total(void) { return FAKE_TOTAL; }
#if FAKE_WITH_FORMULA
__attribute__((visibility("default"))) void fake_formula(TIterationContext*) __asm__("_formula");
void fake_formula(TIterationContext* ctx) {
    ctx->IterCount = 1;
    ctx->OrbitX[1] = ctx->ZRe;
    ctx->OrbitY[1] = ctx->ZIm;
}
#endif
}
