// Typed frames: command texts and number lists. Every parser here works on
// the text it is given and writes only into storage it sized itself or the
// caller's stated capacity; any doubt about a text makes it invalid.
#include "link/driver/typed_frame.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>

#include "link/driver/codec.h"
#include "link/driver/frame.h"

namespace wendrel {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool startsWithHexPrefix(std::string_view s) {
    return s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

// The whole of s as an unsigned number in `base`; nullopt for anything else
// (empty, a sign, a stray character, overflow of 64 bits).
std::optional<uint64_t> wholeNumber(std::string_view s, int base) {
    if (s.empty()) return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

// Decimal digits, or hexadecimal digits after "0x".
std::optional<uint64_t> unsignedNumber(std::string_view s) {
    if (startsWithHexPrefix(s)) return wholeNumber(s.substr(2), 16);
    return wholeNumber(s, 10);
}

std::optional<uint8_t> byteNumber(std::string_view s) {
    const auto v = unsignedNumber(s);
    if (!v || *v > 255) return std::nullopt;
    return static_cast<uint8_t>(*v);
}

// ---- number lists -----------------------------------------------------------

bool isListSeparator(char c) { return c == ',' || c == ';'; }
bool isNumberChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Appends the values of `text` to out, at most `limit` in all.
bool parseList(std::string_view text, size_t limit, std::vector<uint8_t>& out) {
    size_t i = 0;
    auto skipBlanks = [&] {
        const size_t from = i;
        while (i < text.size() && isBlank(text[i])) ++i;
        return i > from;
    };
    auto number = [&]() -> std::optional<uint8_t> {
        const size_t from = i;
        while (i < text.size() && isNumberChar(text[i])) ++i;
        return byteNumber(text.substr(from, i - from));
    };
    skipBlanks();
    if (i == text.size()) return true;
    for (;;) {
        const auto first = number();
        if (!first) return false;
        uint8_t last = *first;
        skipBlanks();
        if (i < text.size() && text[i] == '-') {
            ++i;
            skipBlanks();
            const auto upper = number();
            if (!upper || *upper < *first) return false;
            last = *upper;
            skipBlanks();
        }
        if (out.size() + (last - *first + 1u) > limit) return false;
        for (int v = *first; v <= last; ++v) out.push_back(static_cast<uint8_t>(v));
        if (i == text.size()) return true;
        if (isListSeparator(text[i])) {
            ++i;
            skipBlanks();
            if (i == text.size() || isListSeparator(text[i])) return false;  // an empty item
        } else if (!isBlank(text[i - 1])) {
            return false;  // a stray character right after a number
        }
    }
}

// ---- command texts ----------------------------------------------------------

struct Item {
    std::string text;
    bool quoted = false;
};

// Splits the data description at commas; a double-quoted item may hold
// commas and keeps its blanks.
std::optional<std::vector<Item>> splitItems(std::string_view s) {
    std::vector<Item> items;
    if (trimmed(s).empty()) return items;
    size_t i = 0;
    for (;;) {
        while (i < s.size() && isBlank(s[i])) ++i;
        Item item;
        if (i < s.size() && s[i] == '"') {
            item.quoted = true;
            ++i;
            for (;;) {
                if (i == s.size()) return std::nullopt;  // unterminated
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        item.text.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item.text.push_back(s[i++]);
            }
            while (i < s.size() && isBlank(s[i])) ++i;
            if (i < s.size() && s[i] != ',') return std::nullopt;  // text after the closing quote
        } else {
            const size_t comma = std::min(s.find(',', i), s.size());
            item.text = std::string(trimmed(s.substr(i, comma - i)));
            i = comma;
        }
        items.push_back(std::move(item));
        if (i == s.size()) return items;
        ++i;  // the comma
    }
}

enum class Kind { Byte, Packed, Integer, Float, Plain, Hex };

struct Keyword {
    Kind kind;
    int size;  // the N of the keyword; 0 when it has none
};

// "pca24" and the like; nullopt for anything that is not a keyword.
std::optional<Keyword> keywordOf(const Item& item) {
    if (item.quoted || item.text.size() < 3) return std::nullopt;
    std::string name = item.text.substr(0, 3);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::array<std::pair<const char*, Kind>, 5> kNames{{
        {"pca", Kind::Packed}, {"dec", Kind::Integer}, {"flt", Kind::Float}, {"str", Kind::Plain}, {"hex", Kind::Hex}}};
    const auto named = std::find_if(kNames.begin(), kNames.end(), [&](const auto& n) { return name == n.first; });
    if (named == kNames.end()) return std::nullopt;
    const std::string_view digits = std::string_view(item.text).substr(3);
    int size = 0;
    if (!digits.empty()) {
        const auto n = wholeNumber(digits, 10);
        if (!n || *n == 0 || *n > kMaxDataBytes * 8) return std::nullopt;
        size = static_cast<int>(*n);
    }
    return Keyword{named->second, size};
}

bool packable(const std::string& text, int byteCount) {
    if (static_cast<int64_t>(text.size()) > int64_t{byteCount} * 8 / 6) return false;
    return std::all_of(text.begin(), text.end(), [](char ch) {
        const int c = std::toupper(static_cast<unsigned char>(ch));
        return c >= 0x20 && c <= 0x5F;
    });
}

// An N-bit integer, -2^(N-1) .. 2^N - 1, as N / 8 bytes most significant first.
bool appendInteger(std::string_view text, int bits, std::vector<uint8_t>& data) {
    if (bits < 8 || bits > 32 || bits % 8 != 0) return false;
    const bool negative = !text.empty() && text.front() == '-';
    const auto magnitude = unsignedNumber(negative ? text.substr(1) : text);
    if (!magnitude) return false;
    const uint64_t limit = negative ? uint64_t{1} << (bits - 1) : (uint64_t{1} << bits) - 1;
    if (*magnitude > limit) return false;
    const uint32_t value = static_cast<uint32_t>(negative ? uint64_t{0} - *magnitude : *magnitude);
    for (int shift = bits - 8; shift >= 0; shift -= 8) data.push_back(static_cast<uint8_t>(value >> shift));
    return true;
}

bool appendFloat(std::string_view text, std::vector<uint8_t>& data) {
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return false;
    uint8_t bytes[4];
    PutFloat(bytes, 0, value);
    data.insert(data.end(), bytes, bytes + 4);
    return true;
}

bool appendHexDigits(std::string_view text, int byteCount, std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    if (text.size() != static_cast<size_t>(byteCount) * 2 || !fromHex(text, bytes)) return false;
    data.insert(data.end(), bytes.begin(), bytes.end());
    return true;
}

bool appendField(const Keyword& keyword, const Item& value, std::vector<uint8_t>& data) {
    const int n = keyword.size;
    switch (keyword.kind) {
    case Kind::Packed: {
        if (n == 0 || n > static_cast<int>(kMaxDataBytes) || !packable(value.text, n)) return false;
        const size_t at = data.size();
        data.resize(at + static_cast<size_t>(n));
        PutPackedASCII(value.text, data.data(), static_cast<int>(at), n);
        return true;
    }
    case Kind::Plain: {
        if (n == 0 || n > static_cast<int>(kMaxDataBytes) || value.text.size() > static_cast<size_t>(n)) return false;
        const size_t at = data.size();
        data.resize(at + static_cast<size_t>(n));
        PutString(value.text, data.data(), static_cast<int>(at), n);
        return true;
    }
    case Kind::Integer:
        return !value.quoted && appendInteger(value.text, n, data);
    case Kind::Float:
        return !value.quoted && (n == 0 || n == 32) && appendFloat(value.text, data);
    case Kind::Hex:
        return !value.quoted && n > 0 && n <= static_cast<int>(kMaxDataBytes) && appendHexDigits(value.text, n, data);
    case Kind::Byte:
        break;
    }
    return false;
}

std::optional<std::vector<uint8_t>> dataOfDescription(std::string_view description) {
    const auto items = splitItems(description);
    if (!items) return std::nullopt;
    std::vector<uint8_t> data;
    for (size_t i = 0; i < items->size(); ++i) {
        const Item& item = (*items)[i];
        if (const auto keyword = keywordOf(item)) {
            if (++i == items->size() || !appendField(*keyword, (*items)[i], data)) return std::nullopt;
        } else {
            const auto byte = item.quoted ? std::nullopt : byteNumber(item.text);
            if (!byte) return std::nullopt;
            data.push_back(*byte);
        }
        if (data.size() > kMaxDataBytes) return std::nullopt;
    }
    return data;
}

std::string joinDecimal(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text.push_back(',');
        text += std::to_string(bytes[i]);
    }
    return text;
}

}  // namespace

std::string CutPieceTrim(std::string& rest, char separator) {
    const size_t at = rest.find(separator);
    std::string piece(trimmed(std::string_view(rest).substr(0, at)));
    rest.erase(0, at == std::string::npos ? rest.size() : at + 1);
    return piece;
}

int32_t GetHexVal(std::string_view text) {
    text = trimmed(text);
    if (startsWithHexPrefix(text)) text.remove_prefix(2);
    const auto v = wholeNumber(text, 16);
    if (!v || *v > 0x7FFFFFFFu) return -1;
    return static_cast<int32_t>(*v);
}

int NumStrToBuffer(std::string_view text, uint8_t* buffer, int capacity) {
    if (capacity < 0 || (buffer == nullptr && capacity > 0)) return -1;
    std::vector<uint8_t> values;
    if (!parseList(text, static_cast<size_t>(capacity), values)) return -1;
    std::copy(values.begin(), values.end(), buffer);
    return static_cast<int>(values.size());
}

std::optional<std::vector<uint8_t>> NumStrToBytes(std::string_view text) {
    std::vector<uint8_t> values;
    if (!parseList(text, SIZE_MAX, values)) return std::nullopt;
    return values;
}

std::string DataSyntaxToBuffer(std::string_view text, const uint8_t uniqueId[5], int pollAddress) {
    std::string rest(text);
    const auto command = byteNumber(CutPieceTrim(rest));
    const auto length = byteNumber(CutPieceTrim(rest));
    if (!command || !length) return {};
    const auto data = dataOfDescription(rest);
    if (!data || data->size() != *length) return {};

    std::array<uint8_t, 5> id{};
    if (uniqueId != nullptr) std::copy(uniqueId, uniqueId + 5, id.begin());
    const bool idKnown = std::any_of(id.begin(), id.end(), [](uint8_t b) { return b != 0; });
    const Frame frame = idKnown ? makeRequestLong(id, *command, *data)
                                : makeRequestShort(static_cast<uint8_t>(pollAddress), *command, *data);
    return joinDecimal(encodeFrame(frame, 0));
}

std::optional<TypedRequest> RequestOfFrameBytes(const uint8_t* frame, int count) {
    if (frame == nullptr || count < 1) return std::nullopt;
    const int commandAt = (frame[0] & kLongFrameBit) ? 6 : 2;
    const int dataAt = commandAt + 2;
    if (count < dataAt) return std::nullopt;
    const int length = frame[commandAt + 1];
    if (dataAt + length > count) return std::nullopt;
    TypedRequest request;
    request.command = frame[commandAt];
    request.data.assign(frame + dataAt, frame + dataAt + length);
    return request;
}

std::optional<TypedRequest> ParseCommandText(std::string_view text, const uint8_t uniqueId[5], int pollAddress) {
    const std::string frameText = DataSyntaxToBuffer(text, uniqueId, pollAddress);
    if (frameText.empty()) return std::nullopt;
    const auto bytes = NumStrToBytes(frameText);
    if (!bytes) return std::nullopt;
    return RequestOfFrameBytes(bytes->data(), static_cast<int>(bytes->size()));
}

}  // namespace wendrel
