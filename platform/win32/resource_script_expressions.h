// The values of a resource script: numbers, the platform's style and class
// names and the script's own defines, joined left to right by |, + and -,
// with unary - and ~ and parentheses.
#pragma once

#include "platform/win32/resource_script_reader.h"
#include "platform/win32/resource_script_tokens.h"
#include "platform/win32/windows.h"

#include <map>
#include <string>

namespace win32_host {

class ScriptExpressions {
  public:
    // `used`, when given, keeps the value of every define the script uses
    // directly (not those a define's body uses).
    ScriptExpressions(TokenStream& tokens, const ScriptDefines& defines,
                      std::map<std::string, long>* used)
        : tokens_(tokens), defines_(defines), used_(used)
    {
    }

    long expression();
    int integer() { return static_cast<int>(expression()); }
    // A platform name or a define, whose body is itself an expression.
    long symbol(const std::string& name, int line);
    // A style: flags to set, and flags named after NOT to clear from the
    // statement's default.
    void style(DWORD& style);
    // The x, y, cx and cy of a dialog or a control, separated by commas.
    template <typename Box> void rectangle(Box& box)
    {
        box.x = integer();
        tokens_.expect(",");
        box.y = integer();
        tokens_.expect(",");
        box.cx = integer();
        tokens_.expect(",");
        box.cy = integer();
    }

  private:
    // Reads a define's body; nested this deep, a define uses itself.
    static constexpr int kMaxNesting = 16;

    long primary();

    TokenStream& tokens_;
    const ScriptDefines& defines_;
    std::map<std::string, long>* used_;
    int nesting_ = 0;
};

} // namespace win32_host
