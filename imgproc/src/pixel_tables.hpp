// The built-in colour tables, computed at compile time.
#ifndef LUMAPIX_PIXEL_TABLES_HPP
#define LUMAPIX_PIXEL_TABLES_HPP

#include <cstddef>
#include <cstdint>

namespace lumapix::px {

struct Tables {
    uint8_t systemPalette[256 * 4];
    uint8_t cubeLevel[256];
    int16_t cubeRoot[1025];
    uint8_t bayer2[2][2];
    uint8_t bayer4[4][4];
    uint8_t bayer8[8][8];
    uint8_t bayer16[16][16];
};

// Nearest integer to the real cube root of v; never a tie, as (2n + 1)^3 is odd.
constexpr int16_t RoundedCubeRoot(int64_t v, int64_t& n) {
    while ((n + 1) * (n + 1) * (n + 1) <= v) ++n;
    return static_cast<int16_t>((2 * n + 1) * (2 * n + 1) * (2 * n + 1) <= 8 * v ? n + 1 : n);
}

// M2n from Mn: four blocks, 4Mn and 4Mn + 2 above 4Mn + 3 and 4Mn + 1.
template <size_t N, size_t H>
constexpr void GrowBayer(uint8_t (&to)[N][N], const uint8_t (&from)[H][H]) {
    constexpr uint8_t kOffset[2][2] = {{0, 2}, {3, 1}};
    for (size_t y = 0; y < N; ++y)
        for (size_t x = 0; x < N; ++x) to[y][x] = static_cast<uint8_t>(4 * from[y % H][x % H] + kOffset[y / H][x / H]);
}

constexpr Tables MakeTables() {
    Tables t{};
    for (size_t i = 0; i < 216; ++i) {
        t.systemPalette[4 * i] = static_cast<uint8_t>(51 * (i % 6));
        t.systemPalette[4 * i + 1] = static_cast<uint8_t>(51 * (i / 6 % 6));
        t.systemPalette[4 * i + 2] = static_cast<uint8_t>(51 * (i / 36));
    }
    t.systemPalette[1020] = t.systemPalette[1021] = t.systemPalette[1022] = 255;
    for (size_t v = 0; v < 256; ++v) t.cubeLevel[v] = static_cast<uint8_t>((5 * v + 127) / 255);
    int64_t root = 0;  // 1024 * cbrt(i / 1024) = cbrt(i * 2^20); roots only grow with i
    for (size_t i = 0; i <= 1024; ++i) t.cubeRoot[i] = RoundedCubeRoot(static_cast<int64_t>(i) << 20, root);
    t.bayer2[0][0] = 0, t.bayer2[0][1] = 2, t.bayer2[1][0] = 3, t.bayer2[1][1] = 1;
    GrowBayer(t.bayer4, t.bayer2);
    GrowBayer(t.bayer8, t.bayer4);
    GrowBayer(t.bayer16, t.bayer8);
    return t;
}

inline constexpr Tables kTables = MakeTables();
static_assert(kTables.bayer4[0][1] == 8 && kTables.bayer4[1][0] == 12 && kTables.bayer4[3][3] == 5);
static_assert(kTables.cubeRoot[1024] == 1024 && kTables.cubeRoot[128] == 512);
static_assert(kTables.cubeLevel[25] == 0 && kTables.cubeLevel[26] == 1 && kTables.cubeLevel[230] == 5);

}  // namespace lumapix::px

#endif
