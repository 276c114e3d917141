// The grammar of a dialog template: its header and options; the controls
// are read by their own grammar.
#include "platform/win32/resource_script_dialog.h"

#include "platform/win32/resource_script_controls.h"

namespace win32_host {

namespace {

// The style of a dialog that names none.
constexpr DWORD kDefaultDialogStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;

class DialogReader {
  public:
    DialogReader(TokenStream& tokens, ScriptExpressions& values, bool extended)
        : in_(tokens), values_(values)
    {
        d_.extended = extended;
    }

    DialogTemplate read(int line)
    {
        rectangle();
        options();
        while (!in_.at_block_end()) {
            if (in_.at_end())
                in_.fail("dialog without END", line);
            d_.controls.push_back(read_control(in_, values_, d_.extended));
        }
        return std::move(d_);
    }

  private:
    // x, y, cx, cy, and a DIALOGEX's help id.
    void rectangle()
    {
        values_.rectangle(d_);
        if (d_.extended && in_.accept(","))
            values_.expression();
    }

    // The options up to the block of controls; a caption adds WS_CAPTION to
    // whatever style is named.
    void options()
    {
        d_.style = kDefaultDialogStyle;
        bool has_caption = false;
        while (!in_.at_block_start()) {
            ScriptToken option = in_.next();
            if (is_word(option, "CAPTION")) {
                d_.caption = in_.string_token();
                has_caption = true;
            } else {
                other_option(option);
            }
        }
        if (has_caption)
            d_.style |= WS_CAPTION;
    }

    void other_option(const ScriptToken& option)
    {
        if (is_word(option, "STYLE")) {
            d_.style = 0;
            values_.style(d_.style);
        } else if (is_word(option, "EXSTYLE")) {
            values_.style(d_.ex_style);
        } else if (is_word(option, "FONT")) {
            font();
        } else if (is_word(option, "LANGUAGE")) {
            values_.expression();
            in_.expect(",");
            values_.expression();
        } else if (is_word(option, "CHARACTERISTICS") || is_word(option, "VERSION")) {
            values_.expression();
        } else {
            in_.fail("unsupported dialog option " + option.text, option.line);
        }
    }

    // FONT size, face [, weight, italic, character set]
    void font()
    {
        d_.font_size = values_.integer();
        in_.expect(",");
        d_.font_face = in_.string_token();
        while (in_.accept(","))
            values_.expression();
        d_.style |= DS_SETFONT;
    }

    TokenStream& in_;
    ScriptExpressions& values_;
    DialogTemplate d_;
};

} // namespace

DialogTemplate read_dialog(TokenStream& tokens, ScriptExpressions& values, bool extended, int line)
{
    return DialogReader(tokens, values, extended).read(line);
}

} // namespace win32_host
