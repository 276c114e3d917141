#include "tools/korvid-sim/json.h"

#include <cmath>
#include <cstdio>

namespace ksim {

Json::Json(double v, int decimals)
{
    if (!std::isfinite(v))
        return;
    kind_ = Kind::Number;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    text_ = buf;
    if (text_.find('.') != std::string::npos) {
        while (text_.back() == '0')
            text_.pop_back();
        if (text_.back() == '.')
            text_.pop_back();
    }
    if (text_ == "-0")
        text_ = "0";
}

Json& Json::set(const std::string& key, Json value)
{
    kind_ = Kind::Object;
    for (auto& [k, v] : members_)
        if (k == key) {
            v = std::move(value);
            return *this;
        }
    members_.emplace_back(key, std::move(value));
    return *this;
}

Json& Json::push(Json value)
{
    kind_ = Kind::Array;
    items_.push_back(std::move(value));
    return *this;
}

const Json* Json::find(const std::string& key) const
{
    for (const auto& [k, v] : members_)
        if (k == key)
            return &v;
    return nullptr;
}

std::string json_quote(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {

void newline(std::string& out, int indent, int depth)
{
    if (indent > 0) {
        out += '\n';
        out.append(size_t(indent) * depth, ' ');
    }
}

} // namespace

void Json::write(std::string& out, int indent, int depth) const
{
    switch (kind_) {
    case Kind::Null:
        out += "null";
        return;
    case Kind::Bool:
    case Kind::Number:
        out += text_;
        return;
    case Kind::String:
        out += json_quote(text_);
        return;
    case Kind::Array:
    case Kind::Object:
        break;
    }
    bool object = kind_ == Kind::Object;
    out += object ? '{' : '[';
    size_t n = size();
    for (size_t i = 0; i < n; ++i) {
        if (i)
            out += indent > 0 ? "," : ", ";
        newline(out, indent, depth + 1);
        if (object) {
            out += json_quote(members_[i].first) + ": ";
            members_[i].second.write(out, indent, depth + 1);
        } else {
            items_[i].write(out, indent, depth + 1);
        }
    }
    if (n)
        newline(out, indent, depth);
    out += object ? '}' : ']';
}

std::string Json::dump(int indent) const
{
    std::string out;
    write(out, indent, 0);
    return out;
}

} // namespace ksim
