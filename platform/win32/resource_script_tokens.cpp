// The resource script's tokenizer and token stream.
#include "platform/win32/resource_script_tokens.h"

#include "platform/win32/resource_script_reader.h"
#include "support/text_format.h"

#include <cctype>
#include <stdexcept>

namespace win32_host {

namespace {

bool is_digit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c));
}

bool is_name_start(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool is_name_char(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool is_number_suffix(char c)
{
    return c == 'L' || c == 'l' || c == 'U' || c == 'u';
}

// The character a backslash escape stands for.
char escaped(char e)
{
    switch (e) {
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case 'r':
        return '\r';
    case 'a':
        return '\a';
    case '0':
        return '\0';
    default:
        return e;
    }
}

class Tokenizer {
  public:
    Tokenizer(const std::string& text, const std::string& path) : text_(text), path_(path) {}

    std::vector<ScriptToken> run()
    {
        while (i_ < text_.size())
            token();
        tokens_.push_back({ScriptToken::End, "", 0, line_});
        return std::move(tokens_);
    }

  private:
    void token()
    {
        char c = text_[i_];
        if (c == '\n') {
            ++line_;
            ++i_;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i_;
        } else if (c == '"') {
            tokens_.push_back({ScriptToken::String, string_literal(), 0, line_});
        } else if (is_digit(c)) {
            number();
        } else if (is_name_start(c)) {
            size_t end = i_;
            while (end < text_.size() && is_name_char(text_[end]))
                ++end;
            tokens_.push_back({ScriptToken::Name, text_.substr(i_, end - i_), 0, line_});
            i_ = end;
        } else if (std::string(",|()-+~{}").find(c) != std::string::npos) {
            tokens_.push_back({ScriptToken::Punct, std::string(1, c), 0, line_});
            ++i_;
        } else {
            script_error(path_, line_, std::string("unexpected character '") + c + "'");
        }
    }

    // Decimal, octal or hexadecimal, with an optional L or U suffix.
    void number()
    {
        size_t end = i_;
        while (end < text_.size() && std::isalnum(static_cast<unsigned char>(text_[end])))
            ++end;
        std::string digits = text_.substr(i_, end - i_);
        while (!digits.empty() && is_number_suffix(digits.back()))
            digits.pop_back();
        size_t used = 0;
        long value = 0;
        try {
            value = static_cast<long>(std::stoul(digits, &used, 0));
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != digits.size() || digits.empty())
            script_error(path_, line_, "bad number " + text_.substr(i_, end - i_));
        tokens_.push_back({ScriptToken::Number, digits, value, line_});
        i_ = end;
    }

    // From the opening quote past the closing one; "" inside is a quote.
    std::string string_literal()
    {
        std::string out;
        ++i_;
        while (true) {
            if (i_ >= text_.size() || text_[i_] == '\n')
                script_error(path_, line_, "unterminated string");
            char c = text_[i_++];
            if (c == '"' && i_ < text_.size() && text_[i_] == '"') {
                out += '"';
                ++i_;
            } else if (c == '"') {
                return out;
            } else if (c == '\\') {
                out += i_ < text_.size() ? escaped(text_[i_++]) : '\\';
            } else {
                out += c;
            }
        }
    }

    const std::string& text_;
    const std::string& path_;
    size_t i_ = 0;
    int line_ = 1;
    std::vector<ScriptToken> tokens_;
};

} // namespace

std::vector<ScriptToken> tokenize_script(const std::string& text, const std::string& path)
{
    return Tokenizer(text, path).run();
}

bool is_word(const ScriptToken& token, const char* word)
{
    return token.kind == ScriptToken::Name && sim::upper(token.text) == word;
}

ScriptToken TokenStream::next()
{
    ScriptToken t = tokens_[pos_];
    if (t.kind != ScriptToken::End)
        ++pos_;
    return t;
}

bool TokenStream::accept(const char* punct)
{
    if (peek().kind == ScriptToken::Punct && peek().text == punct) {
        ++pos_;
        return true;
    }
    return false;
}

void TokenStream::expect(const char* punct)
{
    if (!accept(punct))
        fail(std::string("expected '") + punct + "'", peek().line);
}

bool TokenStream::accept_edge(const char* word, const char* brace)
{
    if (!is_word(peek(), word))
        return accept(brace);
    ++pos_;
    return true;
}

std::string TokenStream::string_token()
{
    ScriptToken t = next();
    if (t.kind != ScriptToken::String)
        fail("expected a string", t.line);
    return t.text;
}

void TokenStream::set_line(int line)
{
    for (auto& t : tokens_)
        t.line = line;
}

void TokenStream::fail(const std::string& what, int line) const
{
    script_error(path_, line, what);
}

} // namespace win32_host
