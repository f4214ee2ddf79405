// Real DFT through a complex FFT of half the length: the even and odd samples
// ride as real and imaginary parts, and one pass over the bin pairs (k, N - k)
// separates or joins them.
#include <complex>
#include <utility>

#include "lumapix/frequency_analysis.h"

namespace {

using Complex = std::complex<double>;

constexpr uint32_t kTableTurn = 16384;  // table steps in a full turn
constexpr uint32_t kQuarter = kTableTurn / 4;

// sin(2 pi m / 16384) for any m, from the quarter-wave table.
double SineAt(const double* sine, uint32_t m) {
    m %= kTableTurn;
    const uint32_t r = m % kQuarter;
    const double rising = sine[r];
    const double falling = r == 0 ? 1.0 : sine[kQuarter - r];
    switch (m / kQuarter) {
        case 0: return rising;
        case 1: return falling;
        case 2: return -rising;
        default: return -falling;
    }
}

// e^(sign i 2 pi t / period), period dividing 16384.
Complex Turn(const double* sine, uint32_t t, uint32_t period, int32_t sign) {
    const uint32_t m = t * (kTableTurn / period);
    return {SineAt(sine, m + kQuarter), sign * SineAt(sine, m)};
}

Complex At(const double* a, uint32_t k) { return {a[2 * k], a[2 * k + 1]}; }
void Put(double* a, uint32_t k, Complex z) {
    a[2 * k] = z.real();
    a[2 * k + 1] = z.imag();
}

// Unscaled complex DFT of count points held as re, im pairs: sum z[m] e^(sign i 2 pi m k / count).
void ComplexFft(double* a, uint32_t count, int32_t sign, const double* sine) {
    for (uint32_t i = 1, j = 0; i < count; ++i) {
        uint32_t bit = count >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) {
            std::swap(a[2 * i], a[2 * j]);
            std::swap(a[2 * i + 1], a[2 * j + 1]);
        }
    }
    for (uint32_t span = 1; span < count; span *= 2) {
        for (uint32_t t = 0; t < span; ++t) {
            const Complex w = Turn(sine, t, 2 * span, sign);
            for (uint32_t start = t; start < count; start += 2 * span) {
                const Complex even = At(a, start);
                const Complex odd = At(a, start + span) * w;
                Put(a, start, even + odd);
                Put(a, start + span, even - odd);
            }
        }
    }
}

bool PowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

}  // namespace

extern "C" int32_t SpectrumRealDft(double* a, uint32_t n, int32_t sign, const double* sine) {
    if (!a || !sine || n < 4 || n > kTableTurn || !PowerOfTwo(n) || (sign != 1 && sign != -1)) return 1;
    const uint32_t half = n / 2;
    const Complex i(0.0, 1.0);
    if (sign == 1) {
        // Z = DFT(x[2m] + i x[2m+1]); X(k) = E(k) + W^k O(k) with W = e^(-i 2 pi / n).
        ComplexFft(a, half, -1, sine);
        const double even0 = a[0], odd0 = a[1];
        a[0] = even0 + odd0;
        a[1] = even0 - odd0;
        for (uint32_t k = 1; k <= half / 2; ++k) {
            const uint32_t j = half - k;
            const Complex zk = At(a, k), zj = At(a, j);
            const Complex ek = (zk + std::conj(zj)) * 0.5, ok = (zk - std::conj(zj)) / (2.0 * i);
            const Complex ej = (zj + std::conj(zk)) * 0.5, oj = (zj - std::conj(zk)) / (2.0 * i);
            const Complex xk = ek + Turn(sine, k, n, -1) * ok;
            const Complex xj = ej + Turn(sine, j, n, -1) * oj;
            // The layout keeps sums of sines: I(k) = -Im X(k).
            Put(a, k, std::conj(xk));
            Put(a, j, std::conj(xj));
        }
        return 0;
    }
    // Back from the layout: X(k) = R(k) - i I(k); Z(k) = E(k) + i O(k), then the
    // inverse complex transform leaves y[2m] + i y[2m+1].
    const double r0 = a[0], rHalf = a[1];
    a[0] = (r0 + rHalf) * 0.5;
    a[1] = (r0 - rHalf) * 0.5;
    for (uint32_t k = 1; k <= half / 2; ++k) {
        const uint32_t j = half - k;
        const Complex xk = std::conj(At(a, k)), xj = std::conj(At(a, j));
        const Complex ek = (xk + std::conj(xj)) * 0.5, ok = (xk - std::conj(xj)) * 0.5 * Turn(sine, k, n, 1);
        const Complex ej = (xj + std::conj(xk)) * 0.5, oj = (xj - std::conj(xk)) * 0.5 * Turn(sine, j, n, 1);
        Put(a, k, ek + i * ok);
        Put(a, j, ej + i * oj);
    }
    ComplexFft(a, half, 1, sine);
    return 0;
}
