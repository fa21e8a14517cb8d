#include "effects/HeldKernels.h"

#include "effects/EffectMath.h"

#include <immintrin.h>

#include <limits>

// Built with -ffp-contract=off like the rest of the effects: the vector
// code below spells out every multiply and add, and no target it is built
// for fuses them.

namespace held_kernels {
namespace {

using effect_math::TruncToSample;

// Static initialisers may run before the compiler's own processor check,
// so it is made here first.
bool HasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool g_bVector = HasAvx2();

inline SFrame Crossfaded(const SFrame& n, const SFrame& o, double t)
{
    return {static_cast<std::int32_t>((1 - t) * n.left + t * o.left),
            static_cast<std::int32_t>((1 - t) * n.right + t * o.right)};
}

void ShiftedLinearPlain(const SHeldFrames& held, double pNew, double stepNew, double pOld, double stepOld,
                        const double* w, std::uint32_t n, std::uint32_t from, std::int32_t* outL, std::int32_t* outR)
{
    for (std::uint32_t t = from; t < n; ++t) {
        const double k = static_cast<double>(t);
        const SFrame x = HeldReadAt(held, pNew + k * stepNew);
        const SFrame f = w ? Crossfaded(x, HeldReadAt(held, pOld + k * stepOld), w[t]) : x;
        outL[t] = f.left;
        outR[t] = f.right;
    }
}

void MixWithFramesPlain(const SHeldFrames& held, std::int64_t first, std::uint32_t n, double dry, double mix,
                        std::int32_t* xL, std::int32_t* xR)
{
    for (std::uint32_t t = 0; t < n; ++t) {
        const SFrame d = HeldRead(held, first + t);
        xL[t] = TruncToSample(d.left * dry + xL[t] * mix);
        xR[t] = TruncToSample(d.right * dry + xR[t] * mix);
    }
}

// The index into the held arrays of each of four frame indices, as
// HeldRead takes it: index - begin, or 0 for indices at or before begin.
__attribute__((target("avx2"))) inline __m256i HeldOffsets(__m128i index, __m256i begin)
{
    const __m256i k = _mm256_sub_epi64(_mm256_cvtepi32_epi64(index), begin);
    return _mm256_and_si256(k, _mm256_cmpgt_epi64(k, _mm256_setzero_si256()));
}

// (1 - fraction) f0 + fraction f1 per channel, truncated, as
// InterpolateFrames does it.
__attribute__((target("avx2"), always_inline)) inline void Interpolate4(__m256d fraction, __m256d l0, __m256d l1,
                                                                        __m256d r0, __m256d r1, __m256d& left,
                                                                        __m256d& right)
{
    const __m256d rest = _mm256_sub_pd(_mm256_set1_pd(1.0), fraction);
    left = _mm256_cvtepi32_pd(
        _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(rest, l0), _mm256_mul_pd(fraction, l1))));
    right = _mm256_cvtepi32_pd(
        _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(rest, r0), _mm256_mul_pd(fraction, r1))));
}

// HeldReadAt for four positions.
__attribute__((target("avx2"), always_inline)) inline void ReadAt4(const SHeldFrames& held, __m256i begin, __m256d position,
                                                     __m256d& left, __m256d& right)
{
    const __m256d lo = _mm256_set1_pd(std::numeric_limits<std::int32_t>::min());
    const __m256d hi = _mm256_set1_pd(std::numeric_limits<std::int32_t>::max());
    // !(x >= lo) takes lo (NaN included), then x > hi takes hi.
    __m256d x = _mm256_blendv_pd(lo, position, _mm256_cmp_pd(position, lo, _CMP_GE_OQ));
    x = _mm256_blendv_pd(x, hi, _mm256_cmp_pd(x, hi, _CMP_GT_OQ));
    const __m128i a = _mm256_cvttpd_epi32(x);
    // a + 1, but a itself at the largest index.
    const __m128i next = _mm_add_epi32(_mm_add_epi32(a, _mm_set1_epi32(1)),
                                       _mm_cmpeq_epi32(a, _mm_set1_epi32(std::numeric_limits<std::int32_t>::max())));
    const __m256d fraction = _mm256_sub_pd(x, _mm256_cvtepi32_pd(a));
    const auto* l = reinterpret_cast<const int*>(held.left);
    const auto* r = reinterpret_cast<const int*>(held.right);
    __m256d l0, l1, r0, r1;
    // The lowest of the four indices; when all four and their next ones
    // lie within eight frames from it, all inside what is held, the frames
    // come from one load per channel, moved into place.
    __m128i low = _mm_min_epi32(a, _mm_shuffle_epi32(a, _MM_SHUFFLE(1, 0, 3, 2)));
    low = _mm_min_epi32(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(2, 3, 0, 1)));
    const std::int32_t lowest = _mm_cvtsi128_si32(low);
    const __m128i apart = _mm_sub_epi32(a, low);
    if (lowest > held.begin && lowest < std::numeric_limits<std::int32_t>::max() - 8 &&
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi32(apart, _mm_set1_epi32(6)),
                                       _mm_cmplt_epi32(apart, _mm_setzero_si128()))) == 0) {
        const std::int64_t k = std::int64_t{lowest} - held.begin;
        const __m256i w0 = _mm256_zextsi128_si256(apart);
        const __m256i w1 = _mm256_zextsi128_si256(_mm_add_epi32(apart, _mm_set1_epi32(1)));
        const __m256i lv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(l + k));
        const __m256i rv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r + k));
        l0 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(lv, w0)));
        l1 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(lv, w1)));
        r0 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(rv, w0)));
        r1 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(rv, w1)));
    } else {
        const __m256i k0 = HeldOffsets(a, begin);
        const __m256i k1 = HeldOffsets(next, begin);
        l0 = _mm256_cvtepi32_pd(_mm256_i64gather_epi32(l, k0, 4));
        l1 = _mm256_cvtepi32_pd(_mm256_i64gather_epi32(l, k1, 4));
        r0 = _mm256_cvtepi32_pd(_mm256_i64gather_epi32(r, k0, 4));
        r1 = _mm256_cvtepi32_pd(_mm256_i64gather_epi32(r, k1, 4));
    }
    Interpolate4(fraction, l0, l1, r0, r1, left, right);
}

// HeldReadAt for four positions that lie at or above 0 and below 2^31 - 16,
// in increasing order and at most two frames apart, whose frames lie above
// held.begin: the four frames and the ones after them lie within eight
// frames of the first, so one load per channel and a permute gives them.
__attribute__((target("avx2"), always_inline)) inline void ReadAt4Near(const SHeldFrames& held, __m256d position,
                                                         __m256d& left, __m256d& right)
{
    const __m128i a = _mm256_cvttpd_epi32(position);
    const __m256d fraction = _mm256_sub_pd(position, _mm256_cvtepi32_pd(a));
    const std::int32_t lowest = _mm_cvtsi128_si32(a);
    const __m128i apart = _mm_sub_epi32(a, _mm_set1_epi32(lowest));
    const std::int64_t k = std::int64_t{lowest} - held.begin;
    const __m256i w0 = _mm256_zextsi128_si256(apart);
    const __m256i w1 = _mm256_zextsi128_si256(_mm_add_epi32(apart, _mm_set1_epi32(1)));
    const __m256i lv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(held.left + k));
    const __m256i rv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(held.right + k));
    const __m256d l0 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(lv, w0)));
    const __m256d l1 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(lv, w1)));
    const __m256d r0 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(rv, w0)));
    const __m256d r1 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(_mm256_permutevar8x32_epi32(rv, w1)));
    Interpolate4(fraction, l0, l1, r0, r1, left, right);
}

// A head's four frames: ReadAt4Near where its positions suit it, else
// ReadAt4.
__attribute__((target("avx2"), always_inline)) inline void ReadHead4(const SHeldFrames& held, __m256i begin,
                                                                     bool near, __m256d position, __m256d& left,
                                                                     __m256d& right)
{
    if (near)
        ReadAt4Near(held, position, left, right);
    else
        ReadAt4(held, begin, position, left, right);
}

// Whether the n positions from p on by `step` suit ReadAt4Near.
bool Near(const SHeldFrames& held, double p, double step, std::uint32_t n)
{
    const double last = p + static_cast<double>(n - 1) * step;
    return step >= 0.0 && step <= 2.0 && p >= 0.0 && last < 0x1p31 - 16 && static_cast<std::int64_t>(p) > held.begin;
}

__attribute__((target("avx2"))) void ShiftedLinearAvx2(const SHeldFrames& held, double pNew, double stepNew,
                                                       double pOld, double stepOld, const double* w,
                                                       std::uint32_t n, std::int32_t* outL, std::int32_t* outR)
{
    if (n == 0)
        return;
    // Heads that move at most two frames a step read their frames with one
    // load per channel, others with gathers.
    const bool nearNew = Near(held, pNew, stepNew, n);
    const bool nearOld = Near(held, pOld, stepOld, n);
    const __m256i begin = _mm256_set1_epi64x(held.begin);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d lanes = _mm256_set_pd(3.0, 2.0, 1.0, 0.0);
    const __m256d vpNew = _mm256_set1_pd(pNew), vsNew = _mm256_set1_pd(stepNew);
    const __m256d vpOld = _mm256_set1_pd(pOld), vsOld = _mm256_set1_pd(stepOld);
    std::uint32_t t = 0;
    for (; t + 4 <= n; t += 4) {
        const __m256d k = _mm256_add_pd(_mm256_set1_pd(static_cast<double>(t)), lanes);
        __m256d nl, nr;
        ReadHead4(held, begin, nearNew, _mm256_add_pd(vpNew, _mm256_mul_pd(k, vsNew)), nl, nr);
        if (w) {
            __m256d ol, orr;
            ReadHead4(held, begin, nearOld, _mm256_add_pd(vpOld, _mm256_mul_pd(k, vsOld)), ol, orr);
            const __m256d tw = _mm256_loadu_pd(w + t);
            const __m256d rest = _mm256_sub_pd(one, tw);
            nl = _mm256_add_pd(_mm256_mul_pd(rest, nl), _mm256_mul_pd(tw, ol));
            nr = _mm256_add_pd(_mm256_mul_pd(rest, nr), _mm256_mul_pd(tw, orr));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(outL + t), _mm256_cvttpd_epi32(nl));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(outR + t), _mm256_cvttpd_epi32(nr));
    }
    ShiftedLinearPlain(held, pNew, stepNew, pOld, stepOld, w, n, t, outL, outR);
}

// TruncToSample of four values.
__attribute__((target("avx2"))) inline __m128i TruncToSample4(__m256d v)
{
    const __m256d lo = _mm256_set1_pd(-32768.0), hi = _mm256_set1_pd(32767.0);
    __m256d c = _mm256_blendv_pd(v, lo, _mm256_cmp_pd(v, lo, _CMP_LT_OQ));
    c = _mm256_blendv_pd(c, hi, _mm256_cmp_pd(c, hi, _CMP_GT_OQ));
    c = _mm256_and_pd(c, _mm256_cmp_pd(v, v, _CMP_EQ_OQ)); // NaN gives +0
    return _mm256_cvttpd_epi32(c);
}

__attribute__((target("avx2"))) void MixWithFramesAvx2(const SHeldFrames& held, std::int64_t first,
                                                       std::uint32_t n, double dry, double mix,
                                                       std::int32_t* xL, std::int32_t* xR)
{
    // Frames before the oldest held read that one: only the contiguous
    // part goes four at a time.
    std::uint32_t t = 0;
    if (first < held.begin) {
        const std::uint32_t before =
            static_cast<std::uint32_t>(std::min<std::int64_t>(held.begin - first, n));
        MixWithFramesPlain(held, first, before, dry, mix, xL, xR);
        t = before;
    }
    const __m256d vd = _mm256_set1_pd(dry), vm = _mm256_set1_pd(mix);
    for (; t + 4 <= n; t += 4) {
        const std::int64_t k = first + t - held.begin;
        const __m256d dl = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(held.left + k)));
        const __m256d dr = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(held.right + k)));
        const __m256d xl = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(xL + t)));
        const __m256d xr = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(xR + t)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(xL + t),
                         TruncToSample4(_mm256_add_pd(_mm256_mul_pd(dl, vd), _mm256_mul_pd(xl, vm))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(xR + t),
                         TruncToSample4(_mm256_add_pd(_mm256_mul_pd(dr, vd), _mm256_mul_pd(xr, vm))));
    }
    MixWithFramesPlain(held, first + t, n - t, dry, mix, xL + t, xR + t);
}

} // namespace

void ShiftedLinear(const SHeldFrames& held, double pNew, double stepNew, double pOld, double stepOld,
                   const double* w, std::uint32_t n, std::int32_t* outL, std::int32_t* outR)
{
    if (g_bVector)
        ShiftedLinearAvx2(held, pNew, stepNew, pOld, stepOld, w, n, outL, outR);
    else
        ShiftedLinearPlain(held, pNew, stepNew, pOld, stepOld, w, n, 0, outL, outR);
}

void MixWithFrames(const SHeldFrames& held, std::int64_t first, std::uint32_t n, double dry, double mix,
                   std::int32_t* xL, std::int32_t* xR)
{
    if (g_bVector)
        MixWithFramesAvx2(held, first, n, dry, mix, xL, xR);
    else
        MixWithFramesPlain(held, first, n, dry, mix, xL, xR);
}

bool UsesVectorUnits() { return g_bVector; }

void UseVectorUnits(bool on) { g_bVector = on && HasAvx2(); }

} // namespace held_kernels
