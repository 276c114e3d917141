// The information page: driver version, BIOS data, board name and memory.
#include "tests/applet/applet_fixture.h"
#include "tests/applet/pe_image.h"

namespace {

const char kKorvid[] = "C:\\WINNT\\system32\\drivers\\korvid.sys";

class InfoPage : public AppletTest {
  protected:
    // Installs a miniport file carrying the given product version.
    void install(const std::string& windows_path, const std::string& version,
                 const std::string& translation = "040904B0")
    {
        auto bytes = applet_tests::image_with(applet_tests::version_resource(
            {{"CompanyName", "Quorvane"}, {"ProductVersion", version}}, translation));
        std::string name = windows_path.substr(windows_path.rfind('\\') + 1);
        win32_host::map_file(windows_path, applet_tests::write(name, bytes));
    }
};

TEST_F(InfoPage, ReadsTheProductVersionOfTheFamilysMiniport)
{
    install("C:\\WINNT\\system32\\drivers\\zorxv2.sys", "2.20");
    install(kKorvid, "4.00.106");
    install("C:\\WINNT\\system32\\drivers\\orvmini4.sys", "4.40");
    for (auto [family, version] : {std::pair{2, "2.20"}, {3, "4.00.106"}, {4, "4.40"}}) {
        driver.family = family;
        EXPECT_EQ(open_info_page().version, version) << "family " << family;
    }
    EXPECT_EQ(win32_host::live_allocations(), 0);
}

TEST_F(InfoPage, DriverVersionIsUndefinedWhenItCannotBeRead)
{
    driver.family = 3;
    EXPECT_EQ(open_info_page().version, "Undefined") << "no file";

    install(kKorvid, "4.00.106", "040704B0");
    EXPECT_EQ(open_info_page().version, "Undefined") << "no 040904B0 block";

    win32_host::map_file(kKorvid, applet_tests::write("plain.sys", {'M', 'Z', 0, 0}));
    EXPECT_EQ(open_info_page().version, "Undefined") << "no version resource";

    install(kKorvid, "4.00.106");
    win32_host::fail_allocations(true);
    EXPECT_EQ(open_info_page().version, "Undefined") << "no memory";
    win32_host::fail_allocations(false);

    win32_host::set_windows_directory("");
    EXPECT_EQ(open_info_page().version, "Undefined") << "no Windows directory";

    driver.family = 0;
    win32_host::set_windows_directory("C:\\WINNT");
    EXPECT_EQ(open_info_page().version, "Undefined") << "family 0 has no file";
    EXPECT_EQ(win32_host::live_allocations(), 0);
}

TEST_F(InfoPage, PathMustFitTheBufferWithItsTerminatingZero)
{
    driver.family = 3;
    const std::string suffix = "\\system32\\drivers\\korvid.sys";
    auto directory_for = [&](size_t path_length) {
        return "C:\\" + std::string(path_length - suffix.size() - 3, 'd');
    };

    std::string fits = directory_for(259);
    win32_host::set_windows_directory(fits);
    install(fits + suffix, "4.00.106");
    EXPECT_EQ(open_info_page().version, "4.00.106");

    std::string too_long = directory_for(260);
    win32_host::set_windows_directory(too_long);
    install(too_long + suffix, "4.00.106");
    EXPECT_EQ(open_info_page().version, "Undefined");

    // A directory that does not fit the buffer at all is not copied.
    win32_host::set_windows_directory("C:\\" + std::string(400, 'd'));
    EXPECT_EQ(open_info_page().version, "Undefined");
}

TEST_F(InfoPage, LongProductVersionIsCutToTheBuffer)
{
    driver.family = 3;
    std::string version;
    for (int i = 0; version.size() < 400; ++i)
        version += std::to_string(i % 10);
    install(kKorvid, version);
    EXPECT_EQ(open_info_page().version, version.substr(0, 259));
}

TEST_F(InfoPage, JoinsTheBiosTextsWithThreeBlanks)
{
    driver.family = 3;
    driver.bios_texts = {"HALCYRA BIOS", "V1.06", "1997"};
    EXPECT_EQ(open_info_page().bios, "HALCYRA BIOS   V1.06   1997");

    driver.bios_texts = {"", "", ""};
    EXPECT_EQ(open_info_page().bios, "      ");

    // Texts that fill their 20-byte buffers carry no terminating zero.
    driver.bios_texts = {std::string(25, 'A'), std::string(20, 'B'), std::string(19, 'C')};
    EXPECT_EQ(open_info_page().bios,
              std::string(20, 'A') + "   " + std::string(20, 'B') + "   " + std::string(19, 'C'));

    const sim::EscapeCall* bios = nullptr;
    for (auto& e : driver.escapes)
        if (e.code == ESC_GET_BIOS_DATA)
            bios = &e;
    ASSERT_NE(bios, nullptr);
    EXPECT_EQ(bios->in_size, 12u);
    EXPECT_EQ(bios->out_size, 0u);
}

TEST_F(InfoPage, BiosDataIsUndefinedWhenTheDriverDoesNotAnswer)
{
    driver.family = 3;
    for (auto fault :
         {sim::EscapeFault::Fail, sim::EscapeFault::Error, sim::EscapeFault::FailAfterWrite}) {
        driver.set_fault(ESC_GET_BIOS_DATA, fault);
        EXPECT_EQ(open_info_page().bios, "Undefined");
    }
    EXPECT_EQ(win32_host::dc_counts().live(), 0);
}

struct BoardCase {
    uint32_t family;
    uint32_t index;
    const char* name;
    const char* memory;
};

class BoardTable : public InfoPage, public ::testing::WithParamInterface<BoardCase> {};

TEST_P(BoardTable, ShowsTheRowOfTheBoardIndex)
{
    driver.family = GetParam().family;
    driver.board_index = GetParam().index;
    InfoTexts t = open_info_page();
    EXPECT_EQ(t.name, GetParam().name);
    EXPECT_EQ(t.memory, GetParam().memory);
    for (auto& e : driver.escapes) {
        if (e.code == ESC_GET_BOARD_INDEX) {
            EXPECT_EQ(e.input, ESC_FILLER);
        }
    }
}

const char kUnknown[] = "Unknown Board";
const char kUnknownSize[] = "Unknown Size";

INSTANTIATE_TEST_SUITE_P(
    Rows, BoardTable,
    ::testing::Values(
        BoardCase{2, 0, kUnknown, kUnknownSize}, BoardCase{2, 1, "Reserved", "4 Megs"},
        BoardCase{2, 2, "Velmira Zorx Kestra - Internal VGA", "4 Megs"},
        BoardCase{2, 5, "Velmira Zorx Lanver - External VGA", "2 Megs"},
        BoardCase{2, 11, "Velmira Zorx Lanver - Internal VGA", "8 Megs"},
        BoardCase{2, 12, kUnknown, kUnknownSize}, BoardCase{2, 13, kUnknown, kUnknownSize},
        BoardCase{2, 14, kUnknown, kUnknownSize}, BoardCase{2, 0xFFFFFFFF, kUnknown, kUnknownSize},
        BoardCase{3, 0, kUnknown, kUnknownSize}, BoardCase{3, 1, "Halcyra 3D - PCI", "4 MB WRAM"},
        BoardCase{3, 8, "Halcyra 3D - PCI", "8 MB + 16 MB WRAM"},
        BoardCase{3, 9, "Halcyra 3D - AGP", "4 MB WRAM"},
        BoardCase{3, 14, "Halcyra 3D - AGP", "8 MB + 4 MB WRAM"},
        BoardCase{3, 16, "Halcyra 3D - AGP", "8 MB + 16 MB WRAM"},
        BoardCase{3, 17, "Halcyra 3D - PCI", "4 MB SGRAM"},
        BoardCase{3, 19, "Halcyra 3D - PCI", "4 MB + 8 MB SGRAM"},
        BoardCase{3, 25, "Halcyra 3D - AGP", "4 MB SGRAM"},
        BoardCase{3, 32, "Halcyra 3D - AGP", "8 MB + 16 MB SGRAM"},
        BoardCase{3, 33, kUnknown, kUnknownSize}, BoardCase{3, 34, kUnknown, kUnknownSize},
        BoardCase{3, 35, kUnknown, kUnknownSize}, BoardCase{3, 0x80000000, kUnknown, kUnknownSize},
        BoardCase{4, 1, "Board Name TBD", "Ram Size TBD"},
        BoardCase{4, 32, "Board Name TBD", "Ram Size TBD"},
        BoardCase{4, 33, kUnknown, kUnknownSize}, BoardCase{4, 0xFFFFFFFF, kUnknown, kUnknownSize},
        BoardCase{9, 1, "Undefined", "Undefined"}));

TEST_F(InfoPage, KeepsTheTemplateTextsWithoutABoardIndex)
{
    driver.set_fault(ESC_GET_BOARD_INDEX, sim::EscapeFault::Fail);
    driver.family = 3;
    InfoTexts t = open_info_page();
    EXPECT_EQ(t.name, "123214");
    EXPECT_EQ(t.memory, "1232146");

    driver.family = 0;
    t = open_info_page();
    EXPECT_EQ(t.template_id, IDD_INFO_UNKNOWN);
    EXPECT_EQ(t.name, "");
    EXPECT_EQ(t.memory, "");
}

TEST_F(InfoPage, ShowsThePanelVersionOnFamilies3And4Only)
{
    for (uint32_t family : {3u, 4u}) {
        driver.family = family;
        EXPECT_EQ(open_info_page().panel, "1.06") << family;
    }
    for (uint32_t family : {0u, 2u, 9u}) {
        driver.family = family;
        EXPECT_FALSE(open_info_page().has_panel) << family;
    }
}

TEST_F(InfoPage, UnknownFamilyShowsGreyedDriverFields)
{
    driver.family = 0;
    open([](win32_host::Sheet& sheet) {
        HWND page = sheet.page(kInfoPage);
        for (int field : {IDC_DRIVER_VERSION, IDC_BIOS_DATA, IDC_BOARD_NAME, IDC_VIDEO_RAM,
                          IDC_DRIVER_VERSION_LABEL, IDC_BIOS_DATA_LABEL}) {
            EXPECT_TRUE(win32_host::has_control(page, field)) << field;
            EXPECT_FALSE(win32_host::enabled(page, field)) << field;
        }
        EXPECT_EQ(win32_host::text(page, IDC_DRIVER_VERSION), "Undefined");
    });
    EXPECT_TRUE(win32_host::message_boxes().empty());
}

} // namespace
