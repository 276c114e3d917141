// The tokens of a resource script, and the stream the grammar reads them
// from: names, numbers, string literals and the punctuation the statements
// use.
#pragma once

#include <string>
#include <vector>

namespace win32_host {

struct ScriptToken {
    enum Kind { Name, Number, String, Punct, End } kind = End;
    std::string text; // a string literal's text without its quotes and escapes
    long number = 0;
    int line = 0;
};

// The text's tokens, lines counted from 1, ending with an End token. Errors
// name `path`.
std::vector<ScriptToken> tokenize_script(const std::string& text, const std::string& path);

// A name spelled `word` in any case (keywords are not case sensitive).
bool is_word(const ScriptToken& token, const char* word);

class TokenStream {
  public:
    TokenStream(std::vector<ScriptToken> tokens, std::string path)
        : tokens_(std::move(tokens)), path_(std::move(path))
    {
    }

    const ScriptToken& peek() const { return tokens_[pos_]; }
    bool at_end() const { return peek().kind == ScriptToken::End; }
    // The next token, consumed; End stays.
    ScriptToken next();
    bool accept(const char* punct);
    void expect(const char* punct);
    // BEGIN or {, END or }: a block's edge in either spelling.
    bool at_block_start() { return accept_edge("BEGIN", "{"); }
    bool at_block_end() { return accept_edge("END", "}"); }
    std::string string_token();
    // Every token's line becomes `line` (a define's body read where it is used).
    void set_line(int line);
    const std::string& path() const { return path_; }

    // Throws std::runtime_error "path:line: what".
    [[noreturn]] void fail(const std::string& what, int line) const;

  private:
    bool accept_edge(const char* word, const char* brace);

    std::vector<ScriptToken> tokens_;
    size_t pos_ = 0;
    std::string path_;
};

} // namespace win32_host
