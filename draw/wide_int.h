// A 192-bit signed integer for the ellipse rasteriser. Platform-free.
//
// The midpoint decision values of an ellipse grow with the fourth power of
// its radii once they are evaluated away from the curve itself, and a
// radius may be any 32-bit value: 128 bits are not quite enough for every
// closed form used to jump along the path, and 32-bit compilers offer no
// 128-bit type at all. Six 32-bit limbs in two's complement, little-endian;
// every operation wraps modulo 2^192, which no value used here comes near.
#pragma once

#include <cstdint>

namespace draw {

class Int192 {
  public:
    static constexpr int LIMBS = 6;

    constexpr Int192() : limb_{} {}
    // Implicit on purpose: mixes freely with 64-bit values in expressions.
    constexpr Int192(int64_t v) : limb_{} { // NOLINT(google-explicit-constructor)
        const uint64_t u = static_cast<uint64_t>(v);
        const uint32_t fill = v < 0 ? 0xFFFFFFFFu : 0u;
        limb_[0] = static_cast<uint32_t>(u);
        limb_[1] = static_cast<uint32_t>(u >> 32);
        for (int k = 2; k < LIMBS; ++k) {
            limb_[k] = fill;
        }
    }

    bool isNegative() const { return (limb_[LIMBS - 1] & 0x80000000u) != 0; }
    bool isZero() const {
        for (uint32_t l : limb_) {
            if (l) {
                return false;
            }
        }
        return true;
    }

    Int192& operator+=(const Int192& o) {
        uint64_t carry = 0;
        for (int k = 0; k < LIMBS; ++k) {
            const uint64_t t = uint64_t(limb_[k]) + o.limb_[k] + carry;
            limb_[k] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        return *this;
    }
    Int192& operator-=(const Int192& o) {
        uint64_t borrow = 0;
        for (int k = 0; k < LIMBS; ++k) {
            const uint64_t t = uint64_t(limb_[k]) - o.limb_[k] - borrow;
            limb_[k] = static_cast<uint32_t>(t);
            borrow = (t >> 32) & 1;
        }
        return *this;
    }
    Int192 operator-() const {
        Int192 r;
        r -= *this;
        return r;
    }
    friend Int192 operator+(Int192 a, const Int192& b) { return a += b; }
    friend Int192 operator-(Int192 a, const Int192& b) { return a -= b; }

    // The low 192 bits of the product, which in two's complement is the
    // signed product whenever that fits.
    friend Int192 operator*(const Int192& a, const Int192& b) {
        Int192 r;
        for (int i = 0; i < LIMBS; ++i) {
            if (!a.limb_[i]) {
                continue;
            }
            uint64_t carry = 0;
            for (int j = 0; i + j < LIMBS; ++j) {
                const uint64_t t = uint64_t(a.limb_[i]) * b.limb_[j] + r.limb_[i + j] + carry;
                r.limb_[i + j] = static_cast<uint32_t>(t);
                carry = t >> 32;
            }
        }
        return r;
    }
    Int192& operator*=(const Int192& o) { return *this = *this * o; }

    friend bool operator==(const Int192& a, const Int192& b) {
        for (int k = 0; k < LIMBS; ++k) {
            if (a.limb_[k] != b.limb_[k]) {
                return false;
            }
        }
        return true;
    }
    friend bool operator!=(const Int192& a, const Int192& b) { return !(a == b); }
    friend bool operator<(const Int192& a, const Int192& b) {
        const bool an = a.isNegative(), bn = b.isNegative();
        if (an != bn) {
            return an;
        }
        for (int k = LIMBS - 1; k >= 0; --k) {
            if (a.limb_[k] != b.limb_[k]) {
                return a.limb_[k] < b.limb_[k];
            }
        }
        return false;
    }
    friend bool operator>(const Int192& a, const Int192& b) { return b < a; }
    friend bool operator<=(const Int192& a, const Int192& b) { return !(b < a); }
    friend bool operator>=(const Int192& a, const Int192& b) { return !(a < b); }

    // True when the value lies in the int64_t range.
    bool fitsInt64() const {
        const uint32_t fill = (limb_[1] & 0x80000000u) ? 0xFFFFFFFFu : 0u;
        for (int k = 2; k < LIMBS; ++k) {
            if (limb_[k] != fill) {
                return false;
            }
        }
        return true;
    }
    // The low 64 bits as a signed value (the value itself when it fits).
    int64_t low64() const {
        return static_cast<int64_t>(uint64_t(limb_[0]) | (uint64_t(limb_[1]) << 32));
    }
    // Nearest double, good to a few units in the last place.
    double toDouble() const {
        if (isNegative()) {
            return -(-*this).toDouble();
        }
        double d = 0;
        for (int k = LIMBS - 1; k >= 0; --k) {
            d = d * 4294967296.0 + limb_[k];
        }
        return d;
    }

  private:
    uint32_t limb_[LIMBS];
};

} // namespace draw
