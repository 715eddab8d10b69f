#include "core/numerical.h"

namespace quorv {

namespace {

constexpr uint32_t mask32(uint16_t bit) { return bit >= 1 && bit <= 32 ? 1u << (bit - 1) : 0u; }
constexpr uint16_t mask16(uint16_t bit) {
    return bit >= 1 && bit <= 16 ? static_cast<uint16_t>(1u << (bit - 1)) : 0u;
}
constexpr uint32_t u32(int32_t v) { return static_cast<uint32_t>(v); }
constexpr int32_t s32(uint32_t v) { return static_cast<int32_t>(v); }
constexpr uint16_t u16(int16_t v) { return static_cast<uint16_t>(v); }
constexpr int16_t s16(uint32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

}  // namespace

bool n_cst_numerical::of_getbit(int32_t al_decimal, uint16_t aui_bit) const {
    return (u32(al_decimal) & mask32(aui_bit)) != 0;
}

int32_t n_cst_numerical::of_setbit(int32_t al_decimal, uint16_t aui_bit) const {
    return s32(u32(al_decimal) | mask32(aui_bit));
}
int32_t n_cst_numerical::of_clearbit(int32_t al_decimal, uint16_t aui_bit) const {
    return s32(u32(al_decimal) & ~mask32(aui_bit));
}
int32_t n_cst_numerical::of_flipbit(int32_t al_decimal, uint16_t aui_bit) const {
    return s32(u32(al_decimal) ^ mask32(aui_bit));
}
int32_t n_cst_numerical::of_bitwiseand(int32_t a, int32_t b) const { return s32(u32(a) & u32(b)); }
int32_t n_cst_numerical::of_bitwiseor(int32_t a, int32_t b) const { return s32(u32(a) | u32(b)); }
int32_t n_cst_numerical::of_bitwisexor(int32_t a, int32_t b) const { return s32(u32(a) ^ u32(b)); }
int32_t n_cst_numerical::of_bitwisenot(int32_t a) const { return s32(~u32(a)); }

// The 16-bit versions test bits through the long of_getbit, with the argument widened
// as its 16-bit pattern.
int16_t n_cst_numerical::of_setbit(int16_t ai_decimal, uint16_t aui_bit) const {
    return s16(u16(ai_decimal) | mask16(aui_bit));
}
int16_t n_cst_numerical::of_clearbit(int16_t ai_decimal, uint16_t aui_bit) const {
    return s16(u16(ai_decimal) & ~mask16(aui_bit));
}
int16_t n_cst_numerical::of_flipbit(int16_t ai_decimal, uint16_t aui_bit) const {
    return s16(u16(ai_decimal) ^ mask16(aui_bit));
}
int16_t n_cst_numerical::of_bitwiseand(int16_t a, int16_t b) const { return s16(u16(a) & u16(b)); }
int16_t n_cst_numerical::of_bitwiseor(int16_t a, int16_t b) const { return s16(u16(a) | u16(b)); }
int16_t n_cst_numerical::of_bitwisexor(int16_t a, int16_t b) const { return s16(u16(a) ^ u16(b)); }
int16_t n_cst_numerical::of_bitwisenot(int16_t a) const { return s16(~u16(a)); }

QString n_cst_numerical::of_binary(int32_t al_decimal) const {
    QString out(32, QLatin1Char('0'));
    uint32_t v = u32(al_decimal);
    for (int i = 31; i >= 0; --i, v >>= 1) {
        if (v & 1u) out[i] = QLatin1Char('1');
    }
    return out;
}

int32_t n_cst_numerical::of_decimal(const QString& as_binary) const {
    uint32_t v = 0;
    const qsizetype start = as_binary.size() > 32 ? as_binary.size() - 32 : 0;
    for (qsizetype i = start; i < as_binary.size(); ++i) {
        v = (v << 1) | (as_binary[i] == QLatin1Char('1') ? 1u : 0u);
    }
    return s32(v);
}

}  // namespace quorv
