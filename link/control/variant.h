// The automation layer's value: empty, 16-bit, 32-bit, float or string, with
// the conversions an automation host applies when it assigns one to a typed
// property.
#pragma once

#include <cstdint>
#include <string>

namespace fenwire {

enum class VarType : int32_t { Empty = 0, Short = 2, Long = 3, Float = 4, String = 8 };

using HResult = int32_t;
inline constexpr HResult S_OK_ = 0;
inline constexpr HResult E_TYPEMISMATCH = static_cast<HResult>(0x80020005);
inline constexpr HResult E_OVERFLOW = static_cast<HResult>(0x8002000A);
inline constexpr HResult E_MEMBERNOTFOUND = static_cast<HResult>(0x80020003);
inline constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057);
inline constexpr HResult E_POINTER = static_cast<HResult>(0x80004003);
inline constexpr HResult E_PENDING_COMMAND = static_cast<HResult>(0x800A03E8);

struct Variant {
    VarType type = VarType::Empty;
    int32_t i = 0;      // Short (sign-extended) and Long
    float f = 0.0f;     // Float
    std::string s;      // String, UTF-8

    static Variant fromShort(int16_t v) { Variant x; x.type = VarType::Short; x.i = v; return x; }
    static Variant fromLong(int32_t v) { Variant x; x.type = VarType::Long; x.i = v; return x; }
    static Variant fromFloat(float v) { Variant x; x.type = VarType::Float; x.f = v; return x; }
    static Variant fromString(std::string v) { Variant x; x.type = VarType::String; x.s = std::move(v); return x; }
    bool operator==(const Variant&) const = default;
};

// Converts `in` to `target` as automation does: numbers round half to even
// into integers, out-of-range values give E_OVERFLOW, a string must hold a
// number to become one (E_TYPEMISMATCH otherwise), numbers become their
// shortest text, and empty becomes 0 or "".
HResult coerce(const Variant& in, VarType target, Variant& out);

}  // namespace fenwire
