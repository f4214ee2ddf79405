// CRC-32 of chunks and the zlib memory arena.
#include <array>
#include <cstring>

#include "png_internal.hpp"

namespace lumapix::png {

namespace {

using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

// Table 0 is the byte-at-a-time table of the reflected polynomial 0xEDB88320;
// table k advances a byte through k further zero bytes, so eight bytes fold in
// with eight look-ups and no dependency between them.
constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (uint32_t n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();
static_assert(kCrc[0][1] == 0x77073096u, "CRC-32 table");

inline uint32_t Load32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

voidpf ArenaAlloc(voidpf opaque, uInt items, uInt size) {
    auto* arena = static_cast<Arena*>(opaque);
    uint64_t bytes = (uint64_t{items} * size + 15) & ~uint64_t{15};
    if (bytes > arena->capacity - arena->used) return Z_NULL;
    uint8_t* block = arena->base + arena->used;
    arena->used += static_cast<uint32_t>(bytes);
    std::memset(block, 0, static_cast<size_t>(bytes));
    return block;
}

void ArenaFree(voidpf, voidpf) {}  // the arena is emptied as a whole

}  // namespace

uint32_t CrcUpdate(uint32_t crc, const uint8_t* data, size_t size) {
    while (size >= 8) {
        uint32_t one = Load32(data) ^ crc;
        uint32_t two = Load32(data + 4);
        crc = kCrc[7][one & 0xFF] ^ kCrc[6][one >> 8 & 0xFF] ^ kCrc[5][one >> 16 & 0xFF] ^ kCrc[4][one >> 24] ^
              kCrc[3][two & 0xFF] ^ kCrc[2][two >> 8 & 0xFF] ^ kCrc[1][two >> 16 & 0xFF] ^ kCrc[0][two >> 24];
        data += 8;
        size -= 8;
    }
    while (size-- > 0) crc = kCrc[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t CrcOfType(uint32_t type) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(type >> 24), static_cast<uint8_t>(type >> 16),
                              static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type)};
    return CrcUpdate(kCrcStart, bytes, 4);
}

void ArenaBind(z_stream* z, Arena* arena, uint8_t* memory, uint32_t capacity) {
    arena->base = memory;
    arena->capacity = capacity;
    arena->used = 0;
    z->zalloc = ArenaAlloc;
    z->zfree = ArenaFree;
    z->opaque = arena;
}

void ArenaRelease(Arena* arena) { arena->used = 0; }

}  // namespace lumapix::png
