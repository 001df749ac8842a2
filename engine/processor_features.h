// Which optional instruction sets the processor running the engine has. Vectorised paths built for
// them are chosen at run time, so that one build runs everywhere; they give the same results as
// the plain paths, to the bit.
#ifndef MIRRASK_PROCESSOR_FEATURES_H
#define MIRRASK_PROCESSOR_FEATURES_H

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MIRRASK_HAS_AVX2_PATHS 1
#endif

namespace mirrask {

#if defined(MIRRASK_HAS_AVX2_PATHS)
inline bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace mirrask

#endif  // MIRRASK_PROCESSOR_FEATURES_H
