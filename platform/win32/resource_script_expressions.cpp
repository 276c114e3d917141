// Evaluating a resource script's expressions.
#include "platform/win32/resource_script_expressions.h"

namespace win32_host {

namespace {

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

} // namespace

long ScriptExpressions::symbol(const std::string& name, int line)
{
    auto platform = platform_symbols().find(name);
    if (platform != platform_symbols().end())
        return platform->second;
    auto it = defines_.find(name);
    if (it == defines_.end())
        tokens_.fail("unknown symbol " + name, line);
    if (nesting_ > kMaxNesting)
        tokens_.fail("symbol " + name + " defined in terms of itself", line);
    // The body is read as if written where the define is used.
    TokenStream body(tokenize_script(it->second, tokens_.path()), tokens_.path());
    body.set_line(line);
    ScriptExpressions inner(body, defines_, nullptr);
    inner.nesting_ = nesting_ + 1;
    long value = inner.expression();
    if (!body.at_end())
        tokens_.fail("bad value of " + name, line);
    if (used_)
        (*used_)[name] = value;
    return value;
}

long ScriptExpressions::primary()
{
    ScriptToken t = tokens_.next();
    if (t.kind == ScriptToken::Number)
        return t.number;
    if (t.kind == ScriptToken::Name)
        return symbol(t.text, t.line);
    if (t.kind == ScriptToken::Punct && t.text == "(") {
        long v = expression();
        tokens_.expect(")");
        return v;
    }
    if (t.kind == ScriptToken::Punct && t.text == "-")
        return -primary();
    if (t.kind == ScriptToken::Punct && t.text == "~")
        return ~primary();
    tokens_.fail("expected a value", t.line);
}

long ScriptExpressions::expression()
{
    long v = primary();
    while (true) {
        if (tokens_.accept("|"))
            v |= primary();
        else if (tokens_.accept("+"))
            v += primary();
        else if (tokens_.accept("-"))
            v -= primary();
        else
            return v;
    }
}

void ScriptExpressions::style(DWORD& style)
{
    DWORD set = 0, clear = 0;
    do {
        if (is_word(tokens_.peek(), "NOT")) {
            tokens_.next();
            clear |= static_cast<DWORD>(primary());
        } else {
            set |= static_cast<DWORD>(primary());
        }
    } while (tokens_.accept("|"));
    style = (style & ~clear) | set;
}

} // namespace win32_host
