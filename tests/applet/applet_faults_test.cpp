// The Control Panel side when the platform fails it: escapes of the sheet's
// opening and of the information page answered in every broken way, device
// contexts that cannot be created, and an MCD key that cannot be written.
// Each fault shows what it must, and once it is gone the next opening of
// the item shows the right values again with nothing left behind.
#include "tests/applet/applet_fixture.h"
#include "tests/applet/pe_image.h"

#include <set>

using win32_host::Sheet;

namespace {

const char kKorvid[] = "C:\\WINNT\\system32\\drivers\\korvid.sys";
const char kVersion[] = "4.00.106";
const char kBios[] = "Halcyra 3D BIOS   Version 1.06   08/14/97";
const char kUndefined[] = "Undefined";
// Template texts of the board fields (family 3) and their row for index 1.
const char kTemplateName[] = "123214";
const char kTemplateMemory[] = "1232146";
const char kName[] = "Halcyra 3D - PCI";
const char kMemory[] = "4 MB WRAM";

class AppletFaults : public AppletTest {
  protected:
    void SetUp() override
    {
        AppletTest::SetUp();
        driver.family = 3;
        driver.board_index = 1;
        auto image = applet_tests::image_with(
            applet_tests::version_resource({{"ProductVersion", kVersion}}));
        win32_host::map_file(kKorvid, applet_tests::write("korvid.sys", image));
    }

    struct Opened {
        size_t pages = 0;
        InfoTexts info;
    };
    Opened open_item()
    {
        Opened o;
        o.info = open_info_page();
        o.pages = win32_host::sheets().back().pages.size();
        return o;
    }

    // The driver answers again: the next opening shows every value, and
    // nothing of the failed one is left open.
    void expect_recovered()
    {
        driver.clear_faults();
        win32_host::fail_create_dc(false);
        win32_host::fail_create_dc_calls({});
        expect_opened(open_item(), {3, IDD_INFO_FAMILY3, kVersion, kBios, kName, kMemory});
        expect_nothing_left();
    }

    // The page count and every value the information page shows.
    struct Shown {
        size_t pages;
        int template_id;
        std::string version, bios, name, memory;
    };
    static void expect_opened(const Opened& o, const Shown& want)
    {
        EXPECT_EQ(o.pages, want.pages);
        EXPECT_EQ(o.info.template_id, want.template_id);
        EXPECT_EQ(o.info.version, want.version);
        EXPECT_EQ(o.info.bios, want.bios);
        EXPECT_EQ(o.info.name, want.name);
        EXPECT_EQ(o.info.memory, want.memory);
    }

    static void expect_nothing_left()
    {
        EXPECT_EQ(win32_host::dc_counts().live(), 0);
        EXPECT_EQ(win32_host::open_key_handles(), 0);
        EXPECT_EQ(win32_host::live_allocations(), 0);
    }
};

struct EscapeFaultCase {
    uint32_t escape;
    sim::EscapeFault fault;
};

std::string case_name(const ::testing::TestParamInfo<EscapeFaultCase>& info)
{
    static const char* const kinds[] = {"None", "Unsupported", "Fail", "FailAfterWrite", "Error"};
    return std::to_string(info.param.escape) + "_" + kinds[static_cast<int>(info.param.fault)];
}

class OpeningEscapeFails : public AppletFaults,
                           public ::testing::WithParamInterface<EscapeFaultCase> {};

// What the opening shows when one of its escapes fails, however it fails;
// the information page reports nothing in a message box.
TEST_P(OpeningEscapeFails, ShowsWhatIsKnownAndRecovers)
{
    driver.set_fault(GetParam().escape, GetParam().fault);
    Opened o = open_item();
    switch (GetParam().escape) {
    case ESC_GET_BOARD_FAMILY: // no family: one page, no file, no board table
        expect_opened(o, {1, IDD_INFO_UNKNOWN, kUndefined, kBios, kUndefined, kUndefined});
        break;
    case ESC_GET_BIOS_DATA:
        EXPECT_EQ(o.pages, 3u);
        EXPECT_EQ(o.info.bios, kUndefined);
        EXPECT_EQ(o.info.name, kName);
        break;
    case ESC_GET_BOARD_INDEX: // written or not, an index that failed is not used
        EXPECT_EQ(o.pages, 3u);
        EXPECT_EQ(o.info.bios, kBios);
        EXPECT_EQ(o.info.name, kTemplateName);
        EXPECT_EQ(o.info.memory, kTemplateMemory);
        break;
    }
    if (GetParam().escape != ESC_GET_BOARD_FAMILY) {
        EXPECT_EQ(o.info.version, kVersion);
    }
    EXPECT_TRUE(win32_host::message_boxes().empty());
    expect_nothing_left();
    expect_recovered();
}

std::vector<EscapeFaultCase> opening_faults()
{
    std::vector<EscapeFaultCase> cases;
    for (uint32_t escape : {ESC_GET_BOARD_FAMILY, ESC_GET_BIOS_DATA, ESC_GET_BOARD_INDEX})
        for (auto fault : {sim::EscapeFault::Unsupported, sim::EscapeFault::Fail,
                           sim::EscapeFault::FailAfterWrite, sim::EscapeFault::Error})
            cases.push_back({escape, fault});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, OpeningEscapeFails, ::testing::ValuesIn(opening_faults()),
                         case_name);

// Device contexts of the opening, in order: board family, BIOS data, board
// index. Without its context an escape is not sent at all.
TEST_F(AppletFaults, AnEscapeWithoutDeviceContextIsNotSent)
{
    const uint32_t order[] = {ESC_GET_BOARD_FAMILY, ESC_GET_BIOS_DATA, ESC_GET_BOARD_INDEX};
    for (int call = 1; call <= 3; ++call) {
        SCOPED_TRACE(call);
        driver.escapes.clear();
        win32_host::fail_create_dc_calls({call});
        Opened o = open_item();
        for (auto& e : driver.escapes)
            EXPECT_NE(e.code, order[call - 1]);
        EXPECT_EQ(o.pages, call == 1 ? 1u : 3u);
        EXPECT_EQ(o.info.bios, call == 2 ? kUndefined : kBios);
        EXPECT_EQ(o.info.name, call == 1 ? kUndefined : call == 3 ? kTemplateName : kName);
        expect_nothing_left();
    }
    expect_recovered();
}

TEST_F(AppletFaults, NoDeviceContextAtAllLeavesTheUnknownPage)
{
    win32_host::fail_create_dc(true);
    Opened o = open_item();
    EXPECT_TRUE(driver.escapes.empty());
    EXPECT_EQ(o.pages, 1u);
    EXPECT_EQ(o.info.template_id, IDD_INFO_UNKNOWN);
    EXPECT_EQ(o.info.version, kUndefined);
    EXPECT_EQ(o.info.bios, kUndefined);
    EXPECT_EQ(o.info.name, "");
    EXPECT_EQ(o.info.memory, "");
    EXPECT_TRUE(win32_host::message_boxes().empty());
    expect_nothing_left();
    expect_recovered();
}

class McdKeyFaults : public AppletFaults {
  protected:
    // Opens the options page, clicks the box and applies; reports the box
    // as the page showed it at its start.
    bool click_and_apply()
    {
        bool checked = false;
        open([&](Sheet& sheet) {
            sheet.select(kOptionsPage);
            checked = win32_host::checked(sheet.page(kOptionsPage), IDC_MCD_ACCELERATION);
            EXPECT_TRUE(sheet.click(IDC_MCD_ACCELERATION));
            EXPECT_TRUE(sheet.apply());
            sheet.ok();
        });
        return checked;
    }

    static uint32_t stored()
    {
        return dword_of(win32_host::value(HKEY_LOCAL_MACHINE, kMcdKey, "Enable"));
    }

    static size_t writes()
    {
        size_t n = 0;
        for (auto& call : win32_host::calls())
            n += call.rfind("RegSetValueExA Enable", 0) == 0;
        return n;
    }
};

// A user without write access to the key: the key cannot be opened as the
// page asks (query and set), which is reported like a missing key.
TEST_F(McdKeyFaults, AReadOnlyKeyIsReportedAndKeepsItsValue)
{
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 1);
    win32_host::read_only_key(HKEY_LOCAL_MACHINE, kMcdKey);
    EXPECT_FALSE(click_and_apply()) << "the value cannot be shown without the key";
    ASSERT_EQ(win32_host::message_boxes().size(), 1u);
    EXPECT_EQ(win32_host::message_boxes()[0].text, "Could not open QV 6 Registry Key");
    EXPECT_EQ(writes(), 0u);
    EXPECT_EQ(stored(), 1u);
    expect_nothing_left();

    win32_host::read_only_key(HKEY_LOCAL_MACHINE, kMcdKey, false);
    EXPECT_TRUE(click_and_apply());
    EXPECT_EQ(stored(), 0u);
    EXPECT_EQ(win32_host::message_boxes().size(), 1u);
    expect_nothing_left();
}

// Writes that fail are not reported; the stored value stays what it was and
// the next opening shows it.
TEST_F(McdKeyFaults, ARefusedWriteLeavesTheStoredValue)
{
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 1);
    win32_host::refuse_writes(HKEY_LOCAL_MACHINE, kMcdKey);
    EXPECT_TRUE(click_and_apply());
    EXPECT_EQ(writes(), 2u) << "Apply and OK each try";
    EXPECT_EQ(stored(), 1u);
    EXPECT_TRUE(win32_host::message_boxes().empty());
    expect_nothing_left();

    win32_host::refuse_writes(HKEY_LOCAL_MACHINE, kMcdKey, ERROR_SUCCESS);
    EXPECT_TRUE(click_and_apply());
    EXPECT_EQ(stored(), 0u);
    expect_nothing_left();
}

// A missing key: reported at each opening, and once it exists the page reads
// and writes it.
TEST_F(McdKeyFaults, AMissingKeyWorksOnceCreated)
{
    win32_host::delete_key(HKEY_LOCAL_MACHINE, kMcdKey);
    EXPECT_FALSE(click_and_apply());
    EXPECT_FALSE(click_and_apply());
    EXPECT_EQ(win32_host::message_boxes().size(), 2u);
    expect_nothing_left();

    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 1);
    EXPECT_TRUE(click_and_apply());
    EXPECT_EQ(stored(), 0u);
    EXPECT_EQ(win32_host::message_boxes().size(), 2u);
}

// An "Enable" value without bytes reads as off and is replaced by a number.
TEST_F(McdKeyFaults, AnEmptyValueReadsAsOff)
{
    win32_host::set_value(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", REG_DWORD, {});
    EXPECT_FALSE(click_and_apply());
    const korvid_host::RegistryValue* v = win32_host::value(HKEY_LOCAL_MACHINE, kMcdKey, "Enable");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, static_cast<uint32_t>(REG_DWORD));
    EXPECT_EQ(dword_of(v), 1u);
    expect_nothing_left();
}

} // namespace
