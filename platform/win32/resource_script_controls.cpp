// The grammar of a dialog's controls, with the styles the resource compiler
// gives each statement.
#include "platform/win32/resource_script_controls.h"

#include "support/text_format.h"

namespace win32_host {

namespace {

// A statement for a standard control: its class and type bits, which always
// stay, and the extra defaults that apply only when the statement names no
// style, as the resource compiler has it.
struct StandardControl {
    const char* keyword;
    const char* window_class;
    DWORD type;
    DWORD extra;
};

constexpr StandardControl kStandardControls[] = {
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

// The platform's spelling of a class the stand-in builds.
std::string class_name(const std::string& written)
{
    std::string u = sim::upper(written);
    if (u == "STATIC")
        return "Static";
    if (u == "BUTTON")
        return "Button";
    if (u == "EDIT")
        return "Edit";
    return written;
}

class ControlReader {
  public:
    ControlReader(TokenStream& tokens, ScriptExpressions& values, bool extended)
        : in_(tokens), values_(values), extended_(extended)
    {
        c_.style = WS_CHILD | WS_VISIBLE;
    }

    DialogControl read()
    {
        ScriptToken word = in_.next();
        if (word.kind != ScriptToken::Name)
            in_.fail("expected a control", word.line);
        std::string kind = sim::upper(word.text);
        for (const StandardControl& s : kStandardControls)
            if (kind == s.keyword)
                return standard(s);
        if (kind == "EDITTEXT")
            return edit_text();
        if (kind == "ICON")
            return icon();
        if (kind == "CONTROL")
            return general();
        in_.fail("unsupported control " + word.text, word.line);
    }

  private:
    DialogControl standard(const StandardControl& s)
    {
        c_.window_class = s.window_class;
        c_.style |= s.type;
        text_and_id();
        values_.rectangle(c_);
        if (!optional_styles())
            c_.style |= s.extra;
        return c_;
    }

    DialogControl edit_text()
    {
        c_.window_class = "Edit";
        c_.style |= ES_LEFT;
        c_.id = values_.integer();
        in_.expect(",");
        values_.rectangle(c_);
        if (!optional_styles())
            c_.style |= WS_BORDER | WS_TABSTOP;
        return c_;
    }

    // ICON text, id, x, y [, cx, cy [, style [, extended style]]]
    DialogControl icon()
    {
        c_.window_class = "Static";
        c_.style |= SS_ICON;
        text_and_id();
        c_.x = values_.integer();
        in_.expect(",");
        c_.y = values_.integer();
        if (in_.accept(",")) {
            c_.cx = values_.integer();
            in_.expect(",");
            c_.cy = values_.integer();
            optional_styles();
        }
        return c_;
    }

    // CONTROL text, id, class, style, x, y, cx, cy [, extended style [, help id]]
    DialogControl general()
    {
        text_and_id();
        ScriptToken cls = in_.next();
        if (cls.kind != ScriptToken::String && cls.kind != ScriptToken::Name)
            in_.fail("expected a window class", cls.line);
        c_.window_class = class_name(cls.text);
        in_.expect(",");
        values_.style(c_.style);
        in_.expect(",");
        values_.rectangle(c_);
        if (in_.accept(","))
            extended_style();
        return c_;
    }

    // Text of a control, a string or the id of the image an SS_BITMAP or
    // SS_ICON static shows, then its id.
    void text_and_id()
    {
        if (in_.peek().kind == ScriptToken::String)
            c_.text = in_.string_token();
        else
            c_.image = values_.integer();
        in_.expect(",");
        c_.id = values_.integer();
        in_.expect(",");
    }

    // False when the statement names no style.
    bool optional_styles()
    {
        if (!in_.accept(","))
            return false;
        values_.style(c_.style);
        if (in_.accept(","))
            extended_style();
        return true;
    }

    void extended_style()
    {
        values_.style(c_.ex_style);
        if (extended_ && in_.accept(","))
            values_.expression(); // help id
    }

    TokenStream& in_;
    ScriptExpressions& values_;
    bool extended_;
    DialogControl c_;
};

} // namespace

DialogControl read_control(TokenStream& tokens, ScriptExpressions& values, bool extended)
{
    return ControlReader(tokens, values, extended).read();
}

} // namespace win32_host
