// The resource-script parser. The module's resources on the host come from the very resource script
// the resource compiler builds into the real binary: dialog templates (DIALOG and DIALOGEX), the
// string table, icons and bitmaps, with the symbols of the headers the script includes. Only the
// statements the script language has for these are understood; anything else is reported with file
// and line.
#include "state.h"

#include "sim/pe/pe_file.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace win32_host {

namespace {

struct Token {
    enum Kind { Name, Number, String, Punct, End } kind = End;
    std::string text;
    long number = 0;
    int line = 0;
};

// Style and class names of the platform that a script may use; their values
// are the platform's (see windows.h).
const std::map<std::string, long>& platform_symbols()
{
    static const std::map<std::string, long> symbols = {
#define SYM(name) {#name, static_cast<long>(name)}
        SYM(WS_OVERLAPPED),   SYM(WS_POPUP),           SYM(WS_CHILD),         SYM(WS_VISIBLE),
        SYM(WS_DISABLED),     SYM(WS_CAPTION),         SYM(WS_BORDER),        SYM(WS_SYSMENU),
        SYM(WS_GROUP),        SYM(WS_TABSTOP),         SYM(WS_EX_CLIENTEDGE), SYM(WS_EX_STATICEDGE),
        SYM(DS_3DLOOK),       SYM(DS_SETFONT),         SYM(DS_MODALFRAME),    SYM(DS_CONTROL),
        SYM(SS_LEFT),         SYM(SS_CENTER),          SYM(SS_RIGHT),         SYM(SS_ICON),
        SYM(SS_BITMAP),       SYM(SS_NOPREFIX),        SYM(SS_CENTERIMAGE),   SYM(SS_REALSIZEIMAGE),
        SYM(SS_SUNKEN),       SYM(BS_PUSHBUTTON),      SYM(BS_DEFPUSHBUTTON), SYM(BS_CHECKBOX),
        SYM(BS_AUTOCHECKBOX), SYM(BS_RADIOBUTTON),     SYM(BS_3STATE),        SYM(BS_AUTO3STATE),
        SYM(BS_GROUPBOX),     SYM(BS_AUTORADIOBUTTON), SYM(ES_LEFT),          SYM(ES_AUTOHSCROLL),
        SYM(ES_READONLY),
#undef SYM
    };
    return symbols;
}

class Parser {
  public:
    explicit Parser(const std::string& path) : path_(path)
    {
        auto slash = path.find_last_of('/');
        dir_ = slash == std::string::npos ? "." : path.substr(0, slash);
        module_.script = path;
        std::string text = read_preprocessed(path, true);
        tokenize(text);
    }

    Module parse()
    {
        while (peek().kind != Token::End)
            statement();
        return std::move(module_);
    }

  private:
    [[noreturn]] void fail(const std::string& what, int line)
    {
        std::ostringstream s;
        s << path_ << ":" << line << ": " << what;
        throw std::runtime_error(s.str());
    }

    static std::string read_file(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            throw std::runtime_error(path + ": cannot be read");
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static std::string strip_comments(const std::string& text)
    {
        std::string out;
        bool in_string = false;
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (in_string) {
                out += c;
                if (c == '\\' && i + 1 < text.size())
                    out += text[++i];
                else if (c == '"')
                    in_string = false;
            } else if (c == '"') {
                in_string = true;
                out += c;
            } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
                while (i < text.size() && text[i] != '\n')
                    ++i;
                out += '\n';
            } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
                i += 2;
                while (i + 1 < text.size() && !(text[i] == '*' && text[i + 1] == '/')) {
                    if (text[i] == '\n')
                        out += '\n'; // keep line numbers
                    ++i;
                }
                ++i;
            } else {
                out += c;
            }
        }
        return out;
    }

    // Handles the preprocessor lines: #include "header" brings in the
    // header's #defines, system headers are the platform's own, #pragma is
    // ignored. Returns the script with those lines blanked.
    std::string read_preprocessed(const std::string& path, bool is_script)
    {
        std::istringstream lines(strip_comments(read_file(path)));
        std::string line, out;
        int number = 0;
        while (std::getline(lines, line)) {
            ++number;
            size_t first = line.find_first_not_of(" \t\r");
            if (first != std::string::npos && line[first] == '#') {
                directive(line.substr(first + 1), path, number);
                out += '\n';
                continue;
            }
            if (!is_script && first != std::string::npos)
                throw std::runtime_error(path + ":" + std::to_string(number) +
                                         ": only preprocessor lines belong in a header");
            out += line + '\n';
        }
        return out;
    }

    void directive(const std::string& body, const std::string& path, int line)
    {
        std::istringstream s(body);
        std::string word;
        s >> word;
        if (word == "include") {
            std::string target;
            s >> target;
            if (target.size() > 2 && target.front() == '"') {
                std::string name = target.substr(1, target.size() - 2);
                auto slash = path.find_last_of('/');
                std::string base = slash == std::string::npos ? "." : path.substr(0, slash);
                read_preprocessed(base + "/" + name, false);
            } else if (target.empty() || target.front() != '<') {
                throw std::runtime_error(path + ":" + std::to_string(line) + ": bad #include");
            }
        } else if (word == "define") {
            std::string name, value;
            s >> name;
            std::getline(s, value);
            defines_[name] = value;
        } else if (word != "pragma") {
            throw std::runtime_error(path + ":" + std::to_string(line) + ": unsupported #" + word);
        }
    }

    void tokenize(const std::string& text)
    {
        int line = 1;
        for (size_t i = 0; i < text.size();) {
            char c = text[i];
            if (c == '\n') {
                ++line;
                ++i;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '"') {
                tokens_.push_back({Token::String, string_literal(text, i, line), 0, line});
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                size_t end = i;
                while (end < text.size() && std::isalnum(static_cast<unsigned char>(text[end])))
                    ++end;
                std::string digits = text.substr(i, end - i);
                while (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l' ||
                                           digits.back() == 'U' || digits.back() == 'u'))
                    digits.pop_back();
                size_t used = 0;
                long value = 0;
                try {
                    value = static_cast<long>(std::stoul(digits, &used, 0));
                } catch (const std::exception&) {
                    used = 0;
                }
                if (used != digits.size() || digits.empty())
                    fail("bad number " + text.substr(i, end - i), line);
                tokens_.push_back({Token::Number, digits, value, line});
                i = end;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t end = i;
                while (end < text.size() &&
                       (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
                    ++end;
                tokens_.push_back({Token::Name, text.substr(i, end - i), 0, line});
                i = end;
            } else if (std::string(",|()-+~{}").find(c) != std::string::npos) {
                tokens_.push_back({Token::Punct, std::string(1, c), 0, line});
                ++i;
            } else {
                fail(std::string("unexpected character '") + c + "'", line);
            }
        }
        tokens_.push_back({Token::End, "", 0, line});
    }

    std::string string_literal(const std::string& text, size_t& i, int line)
    {
        std::string out;
        ++i; // opening quote
        while (true) {
            if (i >= text.size() || text[i] == '\n')
                fail("unterminated string", line);
            char c = text[i++];
            if (c == '"') {
                if (i < text.size() && text[i] == '"') { // "" is a quote
                    out += '"';
                    ++i;
                    continue;
                }
                return out;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            char e = i < text.size() ? text[i++] : '\\';
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case '0':
                out += '\0';
                break;
            default:
                out += e;
            }
        }
    }

    // ---- token stream -----------------------------------------------------

    const Token& peek() const { return tokens_[pos_]; }
    Token next()
    {
        Token t = tokens_[pos_];
        if (t.kind != Token::End)
            ++pos_;
        return t;
    }
    bool is_word(const Token& t, const char* word) const
    {
        if (t.kind != Token::Name)
            return false;
        std::string a = upper(t.text);
        return a == word;
    }
    bool accept(const char* punct)
    {
        if (peek().kind == Token::Punct && peek().text == punct) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(const char* punct)
    {
        if (!accept(punct))
            fail(std::string("expected '") + punct + "'", peek().line);
    }
    // BEGIN or {, END or }: a block's edge in either spelling.
    bool accept_edge(const char* word, const char* brace)
    {
        if (!is_word(peek(), word))
            return accept(brace);
        ++pos_;
        return true;
    }
    bool at_block_start() { return accept_edge("BEGIN", "{"); }
    bool at_block_end() { return accept_edge("END", "}"); }
    std::string string_token()
    {
        Token t = next();
        if (t.kind != Token::String)
            fail("expected a string", t.line);
        return t.text;
    }

    // ---- expressions ------------------------------------------------------

    long symbol(const std::string& name, int line)
    {
        auto platform = platform_symbols().find(name);
        if (platform != platform_symbols().end())
            return platform->second;
        auto it = defines_.find(name);
        if (it == defines_.end())
            fail("unknown symbol " + name, line);
        if (nesting_ > 16)
            fail("symbol " + name + " defined in terms of itself", line);
        // A define's body is itself an expression.
        Parser sub(*this, it->second, line);
        long value = sub.expression();
        if (sub.peek().kind != Token::End)
            fail("bad value of " + name, line);
        module_.symbols[name] = value;
        return value;
    }

    // Evaluates a define's body with this parser's symbols.
    Parser(Parser& outer, const std::string& text, int line)
        : path_(outer.path_), defines_(outer.defines_), nesting_(outer.nesting_ + 1)
    {
        tokenize(text);
        for (auto& t : tokens_)
            t.line = line;
    }

    long primary()
    {
        Token t = next();
        if (t.kind == Token::Number)
            return t.number;
        if (t.kind == Token::Name)
            return symbol(t.text, t.line);
        if (t.kind == Token::Punct && t.text == "(") {
            long v = expression();
            expect(")");
            return v;
        }
        if (t.kind == Token::Punct && t.text == "-")
            return -primary();
        if (t.kind == Token::Punct && t.text == "~")
            return ~primary();
        fail("expected a value", t.line);
    }

    long expression()
    {
        long v = primary();
        while (true) {
            if (accept("|"))
                v |= primary();
            else if (accept("+"))
                v += primary();
            else if (accept("-"))
                v -= primary();
            else
                return v;
        }
    }

    // A style: flags to set, and flags named after NOT to clear from the
    // statement's default.
    void style_expression(DWORD& style)
    {
        DWORD set = 0, clear = 0;
        do {
            if (is_word(peek(), "NOT")) {
                next();
                clear |= static_cast<DWORD>(primary());
            } else {
                set |= static_cast<DWORD>(primary());
            }
        } while (accept("|"));
        style = (style & ~clear) | set;
    }

    // ---- statements -------------------------------------------------------

    void statement()
    {
        Token first = next();
        if (is_word(first, "STRINGTABLE")) {
            string_table();
            return;
        }
        if (is_word(first, "LANGUAGE")) {
            expression();
            expect(",");
            expression();
            return;
        }
        long id = 0;
        if (first.kind == Token::Number)
            id = first.number;
        else if (first.kind == Token::Name && !is_word(peek(), "VERSIONINFO"))
            id = symbol(first.text, first.line);
        else if (first.kind != Token::Name)
            fail("expected a resource", first.line);
        Token type = next();
        if (is_word(type, "DIALOG") || is_word(type, "DIALOGEX"))
            dialog(static_cast<int>(id), is_word(type, "DIALOGEX"), type.line);
        else if (is_word(type, "ICON"))
            module_.icons[static_cast<int>(id)] = image_file(true, type.line);
        else if (is_word(type, "BITMAP"))
            module_.bitmaps[static_cast<int>(id)] = image_file(false, type.line);
        else if (is_word(type, "VERSIONINFO"))
            skip_version_info();
        else
            fail("unsupported resource type " + type.text, type.line);
    }

    void skip_memory_options()
    {
        static const char* options[] = {"DISCARDABLE", "MOVEABLE", "FIXED",     "PURE",
                                        "IMPURE",      "PRELOAD",  "LOADONCALL"};
        for (bool found = true; found;) {
            found = false;
            for (const char* o : options)
                if (is_word(peek(), o)) {
                    next();
                    found = true;
                }
        }
    }

    void string_table()
    {
        skip_memory_options();
        while (!at_block_start()) {
            if (peek().kind == Token::End)
                fail("STRINGTABLE without BEGIN", peek().line);
            next(); // LANGUAGE and the like
        }
        while (!at_block_end()) {
            if (peek().kind == Token::End)
                fail("STRINGTABLE without END", peek().line);
            int line = peek().line;
            int id = static_cast<int>(expression());
            accept(",");
            if (module_.strings.count(id))
                fail("string " + std::to_string(id) + " defined twice", line);
            module_.strings[id] = string_token();
        }
    }

    ImageFile image_file(bool icon, int line)
    {
        skip_memory_options();
        ImageFile file;
        file.path = dir_ + "/" + string_token();
        std::string bytes;
        try {
            bytes = read_file(file.path);
        } catch (const std::exception& e) {
            fail(e.what(), line);
        }
        // Words past the end read as 0; the checks below refuse such files.
        const pe::Bytes b(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        if (icon) {
            if (b.u16(0) != 0 || b.u16(2) != 1 || b.u16(4) < 1 || bytes.size() < 6 + 16u * b.u16(4))
                fail(file.path + " is no icon file", line);
            file.images = b.u16(4);
            file.width = static_cast<uint8_t>(bytes[6]) ? static_cast<uint8_t>(bytes[6]) : 256;
            file.height = static_cast<uint8_t>(bytes[7]) ? static_cast<uint8_t>(bytes[7]) : 256;
        } else {
            if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M')
                fail(file.path + " is no bitmap file", line);
            file.images = 1;
            file.width = static_cast<int32_t>(b.u32(18));
            int h = static_cast<int32_t>(b.u32(22));
            file.height = h < 0 ? -h : h;
        }
        return file;
    }

    void skip_version_info()
    {
        while (!at_block_start()) {
            if (peek().kind == Token::End)
                fail("VERSIONINFO without BEGIN", peek().line);
            next();
        }
        for (int depth = 1; depth > 0;) {
            if (peek().kind == Token::End)
                fail("VERSIONINFO without END", peek().line);
            if (at_block_start())
                ++depth;
            else if (at_block_end())
                --depth;
            else
                next();
        }
    }

    void dialog(int id, bool extended, int line)
    {
        if (module_.dialogs.count(id))
            fail("dialog " + std::to_string(id) + " defined twice", line);
        skip_memory_options();
        DialogTemplate d;
        d.extended = extended;
        d.x = static_cast<int>(expression());
        expect(",");
        d.y = static_cast<int>(expression());
        expect(",");
        d.cx = static_cast<int>(expression());
        expect(",");
        d.cy = static_cast<int>(expression());
        if (extended && accept(","))
            expression(); // help id
        d.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
        bool has_caption = false;
        while (!at_block_start()) {
            Token option = next();
            if (is_word(option, "STYLE")) {
                d.style = 0;
                style_expression(d.style);
            } else if (is_word(option, "EXSTYLE")) {
                style_expression(d.ex_style);
            } else if (is_word(option, "CAPTION")) {
                d.caption = string_token();
                has_caption = true;
            } else if (is_word(option, "FONT")) {
                d.font_size = static_cast<int>(expression());
                expect(",");
                d.font_face = string_token();
                while (accept(","))
                    expression(); // weight, italic, character set
                d.style |= DS_SETFONT;
            } else if (is_word(option, "LANGUAGE")) {
                expression();
                expect(",");
                expression();
            } else if (is_word(option, "CHARACTERISTICS") || is_word(option, "VERSION")) {
                expression();
            } else {
                fail("unsupported dialog option " + option.text, option.line);
            }
        }
        if (has_caption)
            d.style |= WS_CAPTION;
        while (!at_block_end()) {
            if (peek().kind == Token::End)
                fail("dialog without END", line);
            d.controls.push_back(control(extended));
        }
        module_.dialogs[id] = std::move(d);
    }

    // Text of a control: a string, or the id of the image an SS_BITMAP or
    // SS_ICON static shows.
    void control_text(DialogControl& c)
    {
        if (peek().kind == Token::String)
            c.text = string_token();
        else
            c.image = static_cast<int>(expression());
    }

    void rectangle(DialogControl& c)
    {
        c.x = static_cast<int>(expression());
        expect(",");
        c.y = static_cast<int>(expression());
        expect(",");
        c.cx = static_cast<int>(expression());
        expect(",");
        c.cy = static_cast<int>(expression());
    }

    // False when the statement names no style.
    bool optional_styles(DialogControl& c, bool extended)
    {
        if (!accept(","))
            return false;
        style_expression(c.style);
        if (accept(",")) {
            style_expression(c.ex_style);
            if (extended && accept(","))
                expression(); // help id
        }
        return true;
    }

    DialogControl control(bool extended)
    {
        Token word = next();
        std::string kind = upper(word.text);
        // The statement's type bits always stay; the extra defaults apply
        // only when the statement names no style, as the resource compiler
        // has it.
        struct Standard {
            const char* keyword;
            const char* window_class;
            DWORD type;
            DWORD extra;
        };
        static const Standard standard[] = {
            {"LTEXT", "Static", SS_LEFT, WS_GROUP},
            {"RTEXT", "Static", SS_RIGHT, WS_GROUP},
            {"CTEXT", "Static", SS_CENTER, WS_GROUP},
            {"GROUPBOX", "Button", BS_GROUPBOX, 0},
            {"PUSHBUTTON", "Button", BS_PUSHBUTTON, WS_TABSTOP},
            {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON, WS_TABSTOP},
            {"CHECKBOX", "Button", BS_CHECKBOX, WS_TABSTOP},
            {"AUTOCHECKBOX", "Button", BS_AUTOCHECKBOX, WS_TABSTOP},
            {"RADIOBUTTON", "Button", BS_RADIOBUTTON, WS_TABSTOP},
            {"AUTORADIOBUTTON", "Button", BS_AUTORADIOBUTTON, WS_TABSTOP},
        };
        DialogControl c;
        c.style = WS_CHILD | WS_VISIBLE;
        if (word.kind != Token::Name)
            fail("expected a control", word.line);
        for (const Standard& s : standard) {
            if (kind != s.keyword)
                continue;
            c.window_class = s.window_class;
            c.style |= s.type;
            control_text(c);
            expect(",");
            c.id = static_cast<int>(expression());
            expect(",");
            rectangle(c);
            if (!optional_styles(c, extended))
                c.style |= s.extra;
            return c;
        }
        if (kind == "EDITTEXT") {
            c.window_class = "Edit";
            c.style |= ES_LEFT;
            c.id = static_cast<int>(expression());
            expect(",");
            rectangle(c);
            if (!optional_styles(c, extended))
                c.style |= WS_BORDER | WS_TABSTOP;
            return c;
        }
        if (kind == "ICON") {
            c.window_class = "Static";
            c.style |= SS_ICON;
            control_text(c);
            expect(",");
            c.id = static_cast<int>(expression());
            expect(",");
            c.x = static_cast<int>(expression());
            expect(",");
            c.y = static_cast<int>(expression());
            if (accept(",")) {
                c.cx = static_cast<int>(expression());
                expect(",");
                c.cy = static_cast<int>(expression());
                optional_styles(c, extended);
            }
            return c;
        }
        if (kind == "CONTROL") {
            control_text(c);
            expect(",");
            c.id = static_cast<int>(expression());
            expect(",");
            Token cls = next();
            if (cls.kind == Token::String || cls.kind == Token::Name)
                c.window_class = cls.text;
            else
                fail("expected a window class", cls.line);
            std::string u = upper(c.window_class);
            if (u == "STATIC")
                c.window_class = "Static";
            else if (u == "BUTTON")
                c.window_class = "Button";
            else if (u == "EDIT")
                c.window_class = "Edit";
            expect(",");
            style_expression(c.style);
            expect(",");
            rectangle(c);
            if (accept(",")) {
                style_expression(c.ex_style);
                if (extended && accept(","))
                    expression();
            }
            return c;
        }
        fail("unsupported control " + word.text, word.line);
    }

    std::string path_;
    std::string dir_;
    std::map<std::string, std::string> defines_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
    int nesting_ = 0;
    Module module_;
};

} // namespace

Module parse_resource_script(const std::string& path)
{
    return Parser(path).parse();
}

} // namespace win32_host
