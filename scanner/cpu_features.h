// What the processor offers the pixel loops that have a vector version.
#ifndef ZQ_CPU_FEATURES_H
#define ZQ_CPU_FEATURES_H

namespace zq
{

// Whether AVX2 code runs here; asked of the processor once.
inline bool haveAvx2()
{
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return false;
#endif
}

} // namespace zq

#endif
