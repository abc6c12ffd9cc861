#include "link/control/variant.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace fenwire {

namespace {

// A number held in a string, as automation reads it: blanks around it allowed.
bool parseNumber(const std::string& text, double& value) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    if (*begin == '\0') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || !std::isfinite(value)) return false;
    return true;
}

bool numericValue(const Variant& in, double& value, HResult& error) {
    switch (in.type) {
    case VarType::Empty: value = 0; return true;
    case VarType::Short:
    case VarType::Long: value = in.i; return true;
    case VarType::Float: value = in.f; return true;
    case VarType::String:
        if (parseNumber(in.s, value)) return true;
        error = E_TYPEMISMATCH;
        return false;
    }
    error = E_TYPEMISMATCH;
    return false;
}

// Shortest text of a single-precision value with at most 7 significant digits.
std::string floatText(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
    std::string s = buf;
    // Trim trailing zeros of the mantissa: 12.50000 -> 12.5, 1.000000E+07 -> 1E+07.
    const auto e = s.find('E');
    std::string mantissa = s.substr(0, e);
    const std::string exponent = e == std::string::npos ? "" : s.substr(e);
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    }
    return mantissa + exponent;
}

}  // namespace

HResult coerce(const Variant& in, VarType target, Variant& out) {
    if (in.type == target) {
        out = in;
        return S_OK_;
    }
    HResult error = S_OK_;
    switch (target) {
    case VarType::Empty:
        out = Variant{};
        return S_OK_;
    case VarType::String:
        switch (in.type) {
        case VarType::Empty: out = Variant::fromString(""); return S_OK_;
        case VarType::Short:
        case VarType::Long: out = Variant::fromString(std::to_string(in.i)); return S_OK_;
        case VarType::Float: out = Variant::fromString(floatText(in.f)); return S_OK_;
        default: return E_TYPEMISMATCH;
        }
    case VarType::Short:
    case VarType::Long: {
        double v;
        if (!numericValue(in, v, error)) return error;
        if (std::isnan(v)) return E_OVERFLOW;
        const double r = std::nearbyint(v);  // halves to even, as automation rounds
        const double lo = target == VarType::Short ? std::numeric_limits<int16_t>::min() : std::numeric_limits<int32_t>::min();
        const double hi = target == VarType::Short ? std::numeric_limits<int16_t>::max() : std::numeric_limits<int32_t>::max();
        if (r < lo || r > hi) return E_OVERFLOW;
        out = target == VarType::Short ? Variant::fromShort(static_cast<int16_t>(r))
                                       : Variant::fromLong(static_cast<int32_t>(r));
        return S_OK_;
    }
    case VarType::Float: {
        double v;
        if (!numericValue(in, v, error)) return error;
        if (in.type != VarType::Float && std::fabs(v) > FLT_MAX) return E_OVERFLOW;
        out = Variant::fromFloat(static_cast<float>(v));
        return S_OK_;
    }
    }
    return E_TYPEMISMATCH;
}

}  // namespace fenwire
