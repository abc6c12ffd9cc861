#include "app/commands/format.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace app {

namespace {

constexpr int kSignificantDigits = 7;
// A float's exact value has at most 149 decimals; more places change nothing.
constexpr int kMaxPlaces = 149;

// Texts use '.' and '-' here; screens swap in the locale's symbols at the end.
std::string nonFiniteText(float value) {
    if (std::isnan(value)) return "NaN";
    return value < 0 ? "-Infinity" : "Infinity";
}

std::string withoutTrailingZeros(std::string text) {
    if (text.find('.') == std::string::npos) return text;
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    return text;
}

// The float widened to double is exact, so to_chars rounds the value as
// stored, halves to even.
std::string fixedText(float value, int places) {
    char buffer[256];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                   std::chars_format::fixed, places).ptr;
    std::string text = withoutTrailingZeros(std::string(buffer, end));
    return text == "-0" ? "0" : text;
}

std::string generalText(float value) {
    if (!std::isfinite(value)) return nonFiniteText(value);
    if (value == 0.0f) return "0";
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                   std::chars_format::scientific, kSignificantDigits - 1).ptr;
    const std::string scientific(buffer, end);
    const size_t e = scientific.find('e');
    // The exponent after rounding to 7 digits (9999999.5 becomes 1E+07).
    const int exponent = std::stoi(scientific.substr(e + 1));
    if (exponent >= -4 && exponent < kSignificantDigits) return fixedText(value, kSignificantDigits - 1 - exponent);
    const int magnitude = std::abs(exponent);
    return withoutTrailingZeros(scientific.substr(0, e)) + (exponent < 0 ? "E-" : "E+") +
           (magnitude < 10 ? "0" : "") + std::to_string(magnitude);
}

QString localized(const std::string& text, const QLocale& locale) {
    QString out;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool exponentSign = i > 0 && text[i - 1] == 'E';
        if (text[i] == '.') out += locale.decimalPoint();
        else if (text[i] == '-' && !exponentSign) out += locale.negativeSign();
        else out += QLatin1Char(text[i]);
    }
    return out;
}

// An entry rewritten as "[-]digits[.digits][e[-]digits]" with ASCII symbols,
// or nothing when it is not a number in the locale.
std::optional<std::string> plainNumber(const QString& entry, const QLocale& locale) {
    const QString text = entry.trimmed();
    qsizetype at = 0;
    auto takes = [&](const QString& symbol) {
        if (symbol.isEmpty() || !QStringView(text).sliced(at).startsWith(symbol)) return false;
        at += symbol.size();
        return true;
    };
    auto takeSign = [&](std::string& out) {
        if (takes(QStringLiteral("+")) || takes(locale.positiveSign())) return;
        if (takes(QStringLiteral("-")) || takes(QString(QChar(0x2212))) || takes(locale.negativeSign())) out += '-';
    };
    auto takeDigits = [&](std::string& out) {
        int count = 0;
        while (at < text.size() && text[at].isDigit()) {
            out += static_cast<char>('0' + text[at].digitValue());
            ++at;
            ++count;
        }
        return count;
    };

    std::string out;
    takeSign(out);
    int digits = takeDigits(out);
    if (takes(locale.decimalPoint())) {
        out += '.';
        digits += takeDigits(out);
    }
    if (digits == 0) return std::nullopt;
    if (takes(QStringLiteral("e")) || takes(QStringLiteral("E")) ||
        (locale.exponential().compare(QStringLiteral("e"), Qt::CaseInsensitive) != 0 && takes(locale.exponential()))) {
        out += 'e';
        takeSign(out);
        if (takeDigits(out) == 0) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    return out;
}

// Whether a number that does not fit a float is too large (rather than too
// small, which rounds to zero): the power of ten of its first nonzero digit.
bool tooLarge(const std::string& number) {
    const size_t e = number.find('e');
    const std::string mantissa = number.substr(0, e);
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string::npos) return false;
    long long power = first < point ? static_cast<long long>(point - first - 1)
                                    : -static_cast<long long>(first - point);
    if (e != std::string::npos) {
        long long exponent = 0;
        const bool negative = number[e + 1] == '-';
        for (size_t i = e + (negative ? 2 : 1); i < number.size(); ++i)
            exponent = std::min(exponent * 10 + (number[i] - '0'), 1'000'000'000LL);
        power += negative ? -exponent : exponent;
    }
    return power >= 0;
}

}  // namespace

QString NumberText(float value) { return localized(generalText(value), QLocale()); }

QString ScientificText(float value) {
    if (!std::isfinite(value)) return localized(nonFiniteText(value), QLocale());
    if (value == 0.0f) return QStringLiteral("0e0");
    constexpr int kMantissaDecimals = 6;
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                   std::chars_format::scientific, kMantissaDecimals).ptr;
    const std::string scientific(buffer, end);
    const size_t e = scientific.find('e');
    const int exponent = std::stoi(scientific.substr(e + 1));
    return localized(withoutTrailingZeros(scientific.substr(0, e)) + "e" + std::to_string(exponent), QLocale());
}

QString FileNumberText(float value) { return QString::fromStdString(generalText(value)); }

QString RoundedText(float value, int places) {
    const std::string text =
        std::isfinite(value) ? fixedText(value, std::clamp(places, 0, kMaxPlaces)) : nonFiniteText(value);
    return localized(text, QLocale());
}

bool IsNumeric(const QString& text) { return plainNumber(text, QLocale()).has_value(); }

namespace {

bool parseIn(const QString& text, const QLocale& locale, float& value) {
    const std::optional<std::string> number = plainNumber(text, locale);
    if (!number) return false;
    float parsed = 0.0f;
    const char* first = number->data();
    const char* last = first + number->size();
    const auto [end, error] = std::from_chars(first, last, parsed);
    if (error == std::errc::result_out_of_range) {
        if (tooLarge(*number)) return false;
        parsed = number->front() == '-' ? -0.0f : 0.0f;
    } else if (error != std::errc() || end != last || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

bool ParseNumber(const QString& text, float& value) { return parseIn(text, QLocale(), value); }

bool ParseFileNumber(const QString& text, float& value) { return parseIn(text, QLocale::c(), value); }

QString FilePatternText(float value, int minDecimals, int maxDecimals) {
    if (!std::isfinite(value)) return QString::fromStdString(nonFiniteText(value));
    maxDecimals = std::clamp(maxDecimals, 0, kMaxPlaces);
    minDecimals = std::clamp(minDecimals, 0, maxDecimals);
    // The shortest text that reads back as this float, so a file holds the
    // value the meter holds; rounded only where the pattern has fewer places.
    char buffer[512];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
    std::string text(buffer, end);
    const size_t point = text.find('.');
    if (point != std::string::npos && text.size() - point - 1 > static_cast<size_t>(maxDecimals)) {
        end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed,
                            maxDecimals).ptr;
        text = withoutTrailingZeros(std::string(buffer, end));
    }
    if (text.find('.') == std::string::npos) text += '.';
    const size_t decimals = text.size() - text.find('.') - 1;
    if (decimals < static_cast<size_t>(minDecimals)) text.append(static_cast<size_t>(minDecimals) - decimals, '0');
    // A value that rounds to zero is written without a sign.
    if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    return QString::fromStdString(text);
}

}  // namespace app
