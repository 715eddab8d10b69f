#pragma once

#include <QString>
#include <cstdint>

namespace quorv {

// Bit arithmetic on whole numbers. Bits are numbered from 1 (value 1) to 32 for the long
// functions and to 16 for the 16-bit ones; a result with the top bit set is the
// two's-complement value. A bit number outside that range reads as clear and changes
// nothing.
class n_cst_numerical {
  public:
    bool of_getbit(int32_t al_decimal, uint16_t aui_bit) const;

    int32_t of_setbit(int32_t al_decimal, uint16_t aui_bit) const;
    int32_t of_clearbit(int32_t al_decimal, uint16_t aui_bit) const;
    int32_t of_flipbit(int32_t al_decimal, uint16_t aui_bit) const;
    int32_t of_bitwiseand(int32_t al_decimala, int32_t al_decimalb) const;
    int32_t of_bitwiseor(int32_t al_decimala, int32_t al_decimalb) const;
    int32_t of_bitwisexor(int32_t al_decimala, int32_t al_decimalb) const;
    int32_t of_bitwisenot(int32_t al_decimal) const;

    int16_t of_setbit(int16_t ai_decimal, uint16_t aui_bit) const;
    int16_t of_clearbit(int16_t ai_decimal, uint16_t aui_bit) const;
    int16_t of_flipbit(int16_t ai_decimal, uint16_t aui_bit) const;
    int16_t of_bitwiseand(int16_t ai_decimala, int16_t ai_decimalb) const;
    int16_t of_bitwiseor(int16_t ai_decimala, int16_t ai_decimalb) const;
    int16_t of_bitwisexor(int16_t ai_decimala, int16_t ai_decimalb) const;
    int16_t of_bitwisenot(int16_t ai_decimal) const;

    // Exactly 32 digits "0"/"1", most significant first.
    QString of_binary(int32_t al_decimal) const;
    // The value of a text of binary digits, most significant first; only the last 32
    // digits count and any character other than "1" counts as "0".
    int32_t of_decimal(const QString& as_binary) const;
};

}  // namespace quorv
