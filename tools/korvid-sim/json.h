// A small JSON document model and writer: commands build their results as
// values, and --json prints them. Objects keep their keys in insertion order.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ksim {

class Json {
  public:
    enum class Kind : uint8_t { Null, Bool, Number, String, Array, Object };

    Json() = default;
    Json(std::nullptr_t) {}
    Json(bool b) : kind_(Kind::Bool), text_(b ? "true" : "false") {}
    template <std::integral T>
    requires(!std::same_as<T, bool>) Json(T v) : kind_(Kind::Number), text_(std::to_string(v)) {}
    // A real number with at most `decimals` digits after the point; trailing
    // zeros are dropped. Not-a-number and infinities become null.
    Json(double v, int decimals = 6);
    Json(std::string s) : kind_(Kind::String), text_(std::move(s)) {}
    Json(const char* s) : kind_(Kind::String), text_(s) {}

    static Json array() { return Json(Kind::Array); }
    static Json object() { return Json(Kind::Object); }

    Kind kind() const { return kind_; }
    // Adds (or replaces) a member of an object; returns *this for chaining.
    Json& set(const std::string& key, Json value);
    Json& push(Json value);
    const Json* find(const std::string& key) const;
    size_t size() const { return kind_ == Kind::Object ? members_.size() : items_.size(); }
    const std::vector<Json>& items() const { return items_; }
    // Numbers and strings: their text (a string unescaped).
    const std::string& text() const { return text_; }

    // Indented over several lines, or on one line with indent 0.
    std::string dump(int indent = 2) const;

  private:
    explicit Json(Kind k) : kind_(k) {}
    void write(std::string& out, int indent, int depth) const;

    Kind kind_ = Kind::Null;
    std::string text_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, Json>> members_;
};

// A string as a JSON literal, quotes included.
std::string json_quote(const std::string& s);

} // namespace ksim
