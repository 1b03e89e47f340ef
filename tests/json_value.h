// A strict little JSON reader for tests: rejects anything RFC 8259 does not
// allow (raw control characters in strings, bad escapes, invalid UTF-8,
// trailing text) and gives the parsed value for checks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::testing {

struct JsonValue {
    enum class Type { kNull, kBool, kNumber, kString, kArray, kObject } type = Type::kNull;
    bool boolean = false;
    double number = 0;
    std::string text;  // UTF-8
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    bool has(const std::string& key) const { return members.count(key) != 0; }
    const JsonValue& operator[](const std::string& key) const { return members.at(key); }
    bool is_null() const { return type == Type::kNull; }
};

class JsonReader {
public:
    // The value of a whole document, or nothing when it is not valid JSON.
    static std::optional<JsonValue> parse(std::string_view text) {
        JsonReader reader(text);
        JsonValue value;
        if (!reader.value(value, 0)) return std::nullopt;
        reader.space();
        if (reader.pos_ != text.size()) return std::nullopt;
        return value;
    }

private:
    explicit JsonReader(std::string_view text) : s_(text) {}

    void space() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) ++pos_;
    }
    bool take(char c) {
        space();
        if (pos_ < s_.size() && s_[pos_] == c) return ++pos_, true;
        return false;
    }
    bool word(std::string_view w) {
        if (s_.substr(pos_, w.size()) != w) return false;
        pos_ += w.size();
        return true;
    }

    bool value(JsonValue& v, int depth) {
        if (depth > 64) return false;
        space();
        if (pos_ >= s_.size()) return false;
        const char c = s_[pos_];
        if (c == '{') return object(v, depth);
        if (c == '[') return array(v, depth);
        if (c == '"') return v.type = JsonValue::Type::kString, string(v.text);
        if (word("true")) return v.type = JsonValue::Type::kBool, v.boolean = true, true;
        if (word("false")) return v.type = JsonValue::Type::kBool, true;
        if (word("null")) return v.type = JsonValue::Type::kNull, true;
        return number(v);
    }

    bool object(JsonValue& v, int depth) {
        v.type = JsonValue::Type::kObject;
        ++pos_;
        if (take('}')) return true;
        do {
            space();
            std::string key;
            if (pos_ >= s_.size() || s_[pos_] != '"' || !string(key) || !take(':')) return false;
            JsonValue member;
            if (!value(member, depth + 1) || v.members.count(key)) return false;
            v.members.emplace(std::move(key), std::move(member));
        } while (take(','));
        return take('}');
    }

    bool array(JsonValue& v, int depth) {
        v.type = JsonValue::Type::kArray;
        ++pos_;
        if (take(']')) return true;
        do {
            JsonValue item;
            if (!value(item, depth + 1)) return false;
            v.items.push_back(std::move(item));
        } while (take(','));
        return take(']');
    }

    bool number(JsonValue& v) {
        const std::size_t start = pos_;
        auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
            return pos_ > from;
        };
        if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return false;
        }
        if (pos_ < s_.size() && s_[pos_] == '.' && (++pos_, !digits())) return false;
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
            if (!digits()) return false;
        }
        v.type = JsonValue::Type::kNumber;
        v.number = std::stod(std::string(s_.substr(start, pos_ - start)));
        return true;
    }

    bool hex4(uint32_t& out) {
        if (pos_ + 4 > s_.size()) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[pos_++];
            out <<= 4;
            if (c >= '0' && c <= '9') out |= c - '0';
            else if (c >= 'a' && c <= 'f') out |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') out |= c - 'A' + 10;
            else return false;
        }
        return true;
    }

    static void put_utf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // A raw UTF-8 sequence inside a string must be well formed.
    bool utf8(std::string& out) {
        const auto b = [&](std::size_t k) { return static_cast<uint8_t>(s_[k]); };
        const uint8_t lead = b(pos_);
        std::size_t n = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : 0;
        if (lead >= 0xF5 || n == 0 || pos_ + n >= s_.size()) return false;
        uint32_t cp = lead & (0x3F >> n);
        for (std::size_t k = 1; k <= n; ++k) {
            if ((b(pos_ + k) & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b(pos_ + k) & 0x3F);
        }
        const uint32_t min[] = {0, 0x80, 0x800, 0x10000};
        if (cp < min[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        out.append(s_.substr(pos_, n + 1));
        pos_ += n + 1;
        return true;
    }

    bool string(std::string& out) {
        ++pos_;
        while (pos_ < s_.size()) {
            const auto c = static_cast<uint8_t>(s_[pos_]);
            if (c == '"') return ++pos_, true;
            if (c < 0x20) return false;
            if (c >= 0x80) {
                if (!utf8(out)) return false;
                continue;
            }
            ++pos_;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (pos_ >= s_.size()) return false;
            const char e = s_[pos_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    uint32_t cp;
                    if (!hex4(cp)) return false;
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        uint32_t low;
                        if (!word("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                        return false;
                    }
                    put_utf8(out, cp);
                    break;
                }
                default: return false;
            }
        }
        return false;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace velkor::testing
