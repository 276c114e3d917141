// The resource-script parser. The module's resources on the host come from the very resource script
// the resource compiler builds into the real binary: dialog templates (DIALOG and DIALOGEX), the
// string table, icons and bitmaps, with the symbols of the headers the script includes. Only the
// statements the script language has for these are understood; anything else is reported with file
// and line. This file holds the script's statements; the preprocessor, the tokens, the expressions
// and the dialogs have files of their own.
#include "platform/win32/host.h"
#include "platform/win32/resource_script_dialog.h"
#include "platform/win32/resource_script_expressions.h"
#include "platform/win32/resource_script_reader.h"
#include "platform/win32/resource_script_tokens.h"

#include "support/pe_file.h"

#include <stdexcept>

namespace win32_host {

namespace {

// An icon file's directory entries follow its 6-byte header, 16 bytes each;
// a width or height of 0 means 256.
constexpr size_t kIconHeaderSize = 6;
constexpr size_t kIconEntrySize = 16;
constexpr int kIconSizeZero = 256;
// A bitmap file: "BM", the rest of its 14-byte file header, then the info
// header, of which only the width and height are read.
constexpr size_t kBitmapMinSize = 26;
constexpr size_t kBitmapWidthAt = 18;
constexpr size_t kBitmapHeightAt = 22;

int icon_size(uint8_t stored)
{
    return stored ? stored : kIconSizeZero;
}

// False when the bytes are no icon file.
bool read_icon(const std::string& bytes, ImageFile& file)
{
    // Words past the end read as 0; the checks refuse such files.
    const pe::Bytes b(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (b.u16(0) != 0 || b.u16(2) != 1 || b.u16(4) < 1 ||
        bytes.size() < kIconHeaderSize + kIconEntrySize * b.u16(4))
        return false;
    file.images = b.u16(4);
    file.width = icon_size(static_cast<uint8_t>(bytes[kIconHeaderSize]));
    file.height = icon_size(static_cast<uint8_t>(bytes[kIconHeaderSize + 1]));
    return true;
}

// False when the bytes are no bitmap file. A top-down bitmap's height is
// stored negative.
bool read_bitmap(const std::string& bytes, ImageFile& file)
{
    const pe::Bytes b(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (bytes.size() < kBitmapMinSize || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    file.images = 1;
    file.width = static_cast<int32_t>(b.u32(kBitmapWidthAt));
    int h = static_cast<int32_t>(b.u32(kBitmapHeightAt));
    file.height = h < 0 ? -h : h;
    return true;
}

class Statements {
  public:
    Statements(TokenStream& tokens, ScriptExpressions& values, Module& module)
        : in_(tokens), values_(values), module_(module), dir_(script_directory(module.script))
    {
    }

    void read_all()
    {
        while (!in_.at_end())
            statement();
    }

  private:
    void statement()
    {
        ScriptToken first = in_.next();
        if (is_word(first, "STRINGTABLE")) {
            string_table();
        } else if (is_word(first, "LANGUAGE")) {
            values_.expression();
            in_.expect(",");
            values_.expression();
        } else {
            resource(first);
        }
    }

    // A resource with its id (VERSIONINFO needs none) and its type.
    void resource(const ScriptToken& first)
    {
        long id = 0;
        if (first.kind == ScriptToken::Number)
            id = first.number;
        else if (first.kind == ScriptToken::Name && !is_word(in_.peek(), "VERSIONINFO"))
            id = values_.symbol(first.text, first.line);
        else if (first.kind != ScriptToken::Name)
            in_.fail("expected a resource", first.line);
        ScriptToken type = in_.next();
        if (is_word(type, "DIALOG") || is_word(type, "DIALOGEX"))
            dialog(static_cast<int>(id), is_word(type, "DIALOGEX"), type.line);
        else if (is_word(type, "ICON"))
            module_.icons[static_cast<int>(id)] = image_file(true, type.line);
        else if (is_word(type, "BITMAP"))
            module_.bitmaps[static_cast<int>(id)] = image_file(false, type.line);
        else if (is_word(type, "VERSIONINFO"))
            skip_version_info();
        else
            in_.fail("unsupported resource type " + type.text, type.line);
    }

    // Memory options: kept for 16-bit Windows, ignored by Win32.
    void skip_memory_options()
    {
        static const char* options[] = {"DISCARDABLE", "MOVEABLE", "FIXED",     "PURE",
                                        "IMPURE",      "PRELOAD",  "LOADONCALL"};
        for (bool found = true; found;) {
            found = false;
            for (const char* o : options)
                if (is_word(in_.peek(), o)) {
                    in_.next();
                    found = true;
                }
        }
    }

    // Skips the tokens (LANGUAGE and the like) up to the block's start.
    void skip_to_block(const char* statement)
    {
        while (!in_.at_block_start()) {
            if (in_.at_end())
                in_.fail(std::string(statement) + " without BEGIN", in_.peek().line);
            in_.next();
        }
    }

    void string_table()
    {
        skip_memory_options();
        skip_to_block("STRINGTABLE");
        while (!in_.at_block_end()) {
            if (in_.at_end())
                in_.fail("STRINGTABLE without END", in_.peek().line);
            int line = in_.peek().line;
            int id = values_.integer();
            in_.accept(",");
            if (module_.strings.count(id))
                in_.fail("string " + std::to_string(id) + " defined twice", line);
            module_.strings[id] = in_.string_token();
        }
    }

    ImageFile image_file(bool icon, int line)
    {
        skip_memory_options();
        ImageFile file;
        file.path = dir_ + "/" + in_.string_token();
        std::string bytes;
        try {
            bytes = read_script_file(file.path);
        } catch (const std::exception& e) {
            in_.fail(e.what(), line);
        }
        if (icon && !read_icon(bytes, file))
            in_.fail(file.path + " is no icon file", line);
        if (!icon && !read_bitmap(bytes, file))
            in_.fail(file.path + " is no bitmap file", line);
        return file;
    }

    // The version resource is the resource compiler's alone: its nested
    // blocks are passed over.
    void skip_version_info()
    {
        skip_to_block("VERSIONINFO");
        for (int depth = 1; depth > 0;) {
            if (in_.at_end())
                in_.fail("VERSIONINFO without END", in_.peek().line);
            if (in_.at_block_start())
                ++depth;
            else if (in_.at_block_end())
                --depth;
            else
                in_.next();
        }
    }

    void dialog(int id, bool extended, int line)
    {
        if (module_.dialogs.count(id))
            in_.fail("dialog " + std::to_string(id) + " defined twice", line);
        skip_memory_options();
        module_.dialogs[id] = read_dialog(in_, values_, extended, line);
    }

    TokenStream& in_;
    ScriptExpressions& values_;
    Module& module_;
    std::string dir_;
};

} // namespace

Module parse_resource_script(const std::string& path)
{
    Module module;
    module.script = path;
    PreprocessedScript script = preprocess_script(path);
    TokenStream tokens(tokenize_script(script.text, path), path);
    ScriptExpressions values(tokens, script.defines, &module.symbols);
    Statements(tokens, values, module).read_all();
    return module;
}

} // namespace win32_host
