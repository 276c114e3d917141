// The applet's resources as the host reads them from QV_CPL.rc: what the
// pages need, and the same as what the resource compiler builds into the
// real binary.
#include "tests/applet/applet_fixture.h"
#include "tests/applet/pe_image.h"
#include "support/text_format.h"
#include "tests/support/build_paths.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace {

using win32_host::DialogControl;
using win32_host::DialogTemplate;
using win32_host::Module;

const Module& applet_module()
{
    return win32_host::module(win32_host::load_module(testing_support::applet_resources()));
}

bool inside(const DialogControl& c, const DialogTemplate& d)
{
    return c.x >= 0 && c.y >= 0 && c.x + c.cx <= d.cx && c.y + c.cy <= d.cy;
}

bool overlap(const DialogControl& a, const DialogControl& b)
{
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

bool is_box(const DialogControl& c)
{
    return c.window_class == "Button" && (c.style & BS_TYPEMASK) == BS_GROUPBOX;
}

TEST(ResourceScript, HoldsTheStringsIconsAndPictures)
{
    const Module& m = applet_module();
    EXPECT_EQ(m.strings, (std::map<int, std::string>{{1, "quorvane.hlp"},
                                                     {2, "The Quorvane Control Center"},
                                                     {3, "Quorvane Control Panel"},
                                                     {4, "Quorvane Control Panel"}}));
    for (int icon : {103, 107, 125, 134}) {
        ASSERT_TRUE(m.icons.count(icon)) << icon;
        EXPECT_EQ(m.icons.at(icon).width, 32);
        EXPECT_EQ(m.icons.at(icon).height, 32);
    }
    std::map<int, std::pair<int, int>> pictures = {
        {112, {71, 71}}, {116, {300, 71}}, {121, {300, 86}}, {131, {86, 86}}, {132, {300, 86}}};
    for (auto [id, size] : pictures) {
        ASSERT_TRUE(m.bitmaps.count(id)) << id;
        EXPECT_EQ(m.bitmaps.at(id).width, size.first) << id;
        EXPECT_EQ(m.bitmaps.at(id).height, size.second) << id;
    }
}

TEST(ResourceScript, PagesAreLaidOutWithinTheirTemplates)
{
    const Module& m = applet_module();
    std::map<int, std::pair<int, int>> sizes = {{102, {199, 202}}, {106, {257, 230}},
                                                {121, {257, 230}}, {122, {199, 202}},
                                                {123, {257, 230}}, {126, {257, 230}}};
    for (auto [id, size] : sizes) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(m.dialogs.count(id));
        const DialogTemplate& d = m.dialogs.at(id);
        EXPECT_EQ(std::pair(d.cx, d.cy), size);
        EXPECT_EQ(d.font_size, 8);
        EXPECT_EQ(d.font_face, "MS Sans Serif");
        EXPECT_TRUE(d.style & WS_CHILD);
        for (size_t i = 0; i < d.controls.size(); ++i) {
            const DialogControl& a = d.controls[i];
            EXPECT_TRUE(inside(a, d)) << "control " << a.id << " " << a.text;
            // Boxes frame other controls; everything else stands alone.
            for (size_t j = i + 1; j < d.controls.size(); ++j) {
                const DialogControl& b = d.controls[j];
                if (!is_box(a) && !is_box(b)) {
                    EXPECT_FALSE(overlap(a, b)) << a.text << a.image << " / " << b.text;
                }
            }
        }
    }
    // The pictures of each information page, left and right.
    std::map<int, std::pair<int, int>> pictures = {
        {106, {116, 112}}, {121, {121, 131}}, {126, {132, 131}}, {123, {112, 112}}};
    for (auto [id, pair] : pictures) {
        std::vector<int> shown;
        for (auto& c : m.dialogs.at(id).controls)
            if ((c.style & SS_TYPEMASK) == SS_BITMAP && c.window_class == "Static")
                shown.push_back(c.image);
        EXPECT_EQ(shown, (std::vector<int>{pair.first, pair.second})) << id;
    }
}

TEST(ResourceScript, ReadsExtendedTemplatesAndReportsWhereItCannotGoOn)
{
    std::string path = applet_tests::temp_path("extended.rc");
    std::ofstream(path) << "#define IDD_X 7\n#define IDC_A (1000 + 2)\n"
                           "IDD_X DIALOGEX 0, 0, 100, 50, 0\n"
                           "STYLE DS_SETFONT | WS_CHILD\nEXSTYLE WS_EX_CLIENTEDGE\n"
                           "FONT 8, \"MS Shell Dlg\", 400, 0, 1\nBEGIN\n"
                           "    CONTROL \"Say \"\"hi\"\"\", IDC_A, \"Button\", BS_AUTOCHECKBOX | "
                           "WS_TABSTOP, 5, 6, 50, 10, WS_EX_STATICEDGE, 99\n"
                           "    LTEXT \"x\", -1, 1, 2, 3, 4, NOT WS_VISIBLE\nEND\n";
    Module m = win32_host::parse_resource_script(path);
    ASSERT_TRUE(m.dialogs.count(7));
    const DialogTemplate& d = m.dialogs.at(7);
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(d.ex_style, static_cast<DWORD>(WS_EX_CLIENTEDGE));
    EXPECT_EQ(d.font_face, "MS Shell Dlg");
    ASSERT_EQ(d.controls.size(), 2u);
    EXPECT_EQ(d.controls[0].id, 1002);
    EXPECT_EQ(d.controls[0].text, "Say \"hi\"");
    EXPECT_EQ(d.controls[0].style,
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP));
    EXPECT_EQ(d.controls[0].ex_style, static_cast<DWORD>(WS_EX_STATICEDGE));
    EXPECT_EQ(d.controls[1].style, static_cast<DWORD>(WS_CHILD)) << "NOT clears a default";

    std::ofstream(path) << "#define IDD_X 7\n\nIDD_X DIALOG 0, 0, 10, 10\nBEGIN\n"
                           "    LTEXT \"a\", IDC_MISSING, 0, 0, 5, 5\nEND\n";
    try {
        win32_host::parse_resource_script(path);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("extended.rc:5: unknown symbol IDC_MISSING"),
                  std::string::npos)
            << e.what();
    }
}

// ---- the compiled resources ------------------------------------------------

struct Reader {
    const std::string& b;
    size_t at = 0;
    uint16_t u16()
    {
        uint16_t v = static_cast<uint8_t>(b.at(at)) | static_cast<uint8_t>(b.at(at + 1)) << 8;
        at += 2;
        return v;
    }
    uint32_t u32()
    {
        uint32_t lo = u16();
        return lo | uint32_t{u16()} << 16;
    }
    std::string wide()
    {
        std::string s;
        while (uint16_t c = u16())
            s += static_cast<char>(c);
        return s;
    }
    // A name or number: 0xFFFF introduces a number.
    std::string name_or_id(int& id)
    {
        id = -1;
        if (static_cast<uint8_t>(b.at(at)) == 0xFF && static_cast<uint8_t>(b.at(at + 1)) == 0xFF) {
            at += 2;
            id = u16();
            return "";
        }
        return wide();
    }
    void align() { at = (at + 3) & ~size_t{3}; }
};

struct Compiled {
    std::map<int, std::string> dialogs, bitmaps, group_icons;
    std::map<int, std::string> strings;
};

Compiled read_res(const std::string& bytes)
{
    Compiled out;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        Reader r{bytes, at};
        uint32_t data_size = r.u32();
        uint32_t header_size = r.u32();
        int type, name;
        r.name_or_id(type);
        r.name_or_id(name);
        std::string data = bytes.substr(at + header_size, data_size);
        if (type == 5)
            out.dialogs[name] = data;
        else if (type == 2)
            out.bitmaps[name] = data;
        else if (type == 14)
            out.group_icons[name] = data;
        else if (type == 6) {
            Reader s{data};
            for (int i = 0; i < 16; ++i) {
                uint16_t n = s.u16();
                std::string text;
                for (uint16_t k = 0; k < n; ++k)
                    text += static_cast<char>(s.u16());
                if (n)
                    out.strings[(name - 1) * 16 + i] = text;
            }
        }
        at = (at + header_size + data_size + 3) & ~size_t{3};
    }
    return out;
}

using sim::upper;

std::string class_name(int atom)
{
    switch (atom) {
    case 0x80:
        return "Button";
    case 0x81:
        return "Edit";
    case 0x82:
        return "Static";
    default:
        return "atom " + std::to_string(atom);
    }
}

void expect_same_dialog(const std::string& data, const DialogTemplate& d)
{
    Reader r{data};
    EXPECT_EQ(r.u32(), d.style);
    EXPECT_EQ(r.u32(), d.ex_style);
    uint16_t count = r.u16();
    int16_t rect[4];
    for (auto& v : rect)
        v = static_cast<int16_t>(r.u16());
    EXPECT_EQ(std::vector<int>(rect, rect + 4), (std::vector<int>{d.x, d.y, d.cx, d.cy}));
    int id;
    r.name_or_id(id); // menu
    r.name_or_id(id); // class
    EXPECT_EQ(r.wide(), d.caption);
    if (d.style & DS_SETFONT) {
        EXPECT_EQ(r.u16(), d.font_size);
        EXPECT_EQ(r.wide(), d.font_face);
    }
    ASSERT_EQ(count, d.controls.size());
    for (const DialogControl& c : d.controls) {
        SCOPED_TRACE(c.text + " " + std::to_string(c.id));
        r.align();
        EXPECT_EQ(r.u32(), c.style);
        EXPECT_EQ(r.u32(), c.ex_style);
        for (int v : {c.x, c.y, c.cx, c.cy})
            EXPECT_EQ(static_cast<int16_t>(r.u16()), v);
        EXPECT_EQ(r.u16(), static_cast<uint16_t>(c.id));
        int atom;
        std::string cls = r.name_or_id(atom);
        // A class named in CONTROL may be kept as its name: the system
        // compares class names without regard to case.
        EXPECT_EQ(upper(atom >= 0 ? class_name(atom) : cls), upper(c.window_class));
        int image;
        std::string text = r.name_or_id(image);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(image >= 0 ? image : 0, c.image);
        r.at += r.u16(); // creation data
    }
}

TEST(ResourceScript, ReadsAsTheResourceCompilerBuildsIt)
{
    std::string windres = testing_support::windres();
    if (windres.empty())
        GTEST_SKIP() << "no resource compiler on this machine";
    std::string script = testing_support::applet_resources();
    std::string dir = script.substr(0, script.rfind('/'));
    std::string res = applet_tests::temp_path("QV_CPL.res");
    std::string command =
        "cd '" + dir + "' && '" + windres + "' -I . -O res -i '" + script + "' -o '" + res + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(res, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    Compiled compiled = read_res(bytes.str());
    const Module& m = applet_module();

    EXPECT_EQ(compiled.strings, m.strings);
    ASSERT_EQ(compiled.dialogs.size(), m.dialogs.size());
    for (auto& [id, d] : m.dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        ASSERT_TRUE(compiled.dialogs.count(id));
        expect_same_dialog(compiled.dialogs[id], d);
    }
    ASSERT_EQ(compiled.bitmaps.size(), m.bitmaps.size());
    for (auto& [id, b] : m.bitmaps) {
        Reader r{compiled.bitmaps.at(id), 4};
        EXPECT_EQ(static_cast<int>(r.u32()), b.width) << id;
        EXPECT_EQ(static_cast<int>(r.u32()), b.height) << id;
    }
    std::set<int> icons;
    for (auto& [id, data] : compiled.group_icons)
        icons.insert(id);
    std::set<int> host_icons;
    for (auto& [id, icon] : m.icons)
        host_icons.insert(id);
    EXPECT_EQ(icons, host_icons);
}

} // namespace
