// The driver options page: the "Enable" switch of the MCD key.
#include "tests/applet/applet_fixture.h"

using win32_host::Sheet;

namespace {

class OptionsPage : public AppletTest {
  protected:
    void SetUp() override
    {
        AppletTest::SetUp();
        driver.family = 3;
    }

    // Opens the sheet on the options page and reports the check box.
    bool opened_checked(std::function<void(Sheet&)> then = {})
    {
        bool checked = false;
        open([&](Sheet& sheet) {
            sheet.select(kOptionsPage);
            checked = win32_host::checked(sheet.page(kOptionsPage), IDC_MCD_ACCELERATION);
            if (then)
                then(sheet);
        });
        return checked;
    }

    const korvid_host::RegistryValue* enable() const
    {
        return win32_host::value(HKEY_LOCAL_MACHINE, kMcdKey, "Enable");
    }

    void store(DWORD type, std::vector<uint8_t> bytes)
    {
        win32_host::set_value(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", type, bytes);
    }
};

TEST_F(OptionsPage, ReadsEnableAsOnOrOff)
{
    EXPECT_FALSE(opened_checked()) << "absent";
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 0);
    EXPECT_FALSE(opened_checked());
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 1);
    EXPECT_TRUE(opened_checked());
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 5);
    EXPECT_TRUE(opened_checked());

    win32_host::set_string(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", "1");
    EXPECT_FALSE(opened_checked()) << "a string";
    store(REG_BINARY, {1, 0, 0, 0});
    EXPECT_FALSE(opened_checked()) << "binary";
    store(REG_DWORD, {1, 0});
    EXPECT_FALSE(opened_checked()) << "short DWORD";
    store(REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(opened_checked()) << "long DWORD";
    EXPECT_TRUE(win32_host::message_boxes().empty());
    EXPECT_EQ(win32_host::open_key_handles(), 0);
}

TEST_F(OptionsPage, EveryClickEnablesApplyWhichWritesTheBox)
{
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 5);
    opened_checked([&](Sheet& sheet) {
        EXPECT_FALSE(sheet.apply_enabled());
        ASSERT_TRUE(sheet.click(IDC_MCD_ACCELERATION));
        EXPECT_TRUE(sheet.apply_enabled());
        ASSERT_TRUE(sheet.apply());
        EXPECT_EQ(enable()->type, static_cast<uint32_t>(REG_DWORD));
        EXPECT_EQ(dword_of(enable()), 0u);

        // A click back to the state read is a change all the same.
        sheet.click(IDC_MCD_ACCELERATION);
        EXPECT_TRUE(sheet.apply_enabled());
        sheet.click(IDC_MCD_ACCELERATION);
        sheet.click(IDC_MCD_ACCELERATION);
        ASSERT_TRUE(sheet.apply());
        EXPECT_EQ(dword_of(enable()), 1u);
        sheet.ok();
    });
    EXPECT_EQ(dword_of(enable()), 1u);
    EXPECT_EQ(win32_host::open_key_handles(), 0);
}

TEST_F(OptionsPage, ApplyWithoutAClickWritesTheValueReadAsZeroOrOne)
{
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 5);
    opened_checked([](Sheet& sheet) { sheet.ok(); });
    EXPECT_EQ(enable()->type, static_cast<uint32_t>(REG_DWORD));
    EXPECT_EQ(enable()->data.size(), 4u);
    EXPECT_EQ(dword_of(enable()), 1u);

    win32_host::set_string(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", "yes");
    opened_checked([](Sheet& sheet) { sheet.ok(); });
    EXPECT_EQ(enable()->type, static_cast<uint32_t>(REG_DWORD));
    EXPECT_EQ(dword_of(enable()), 0u);

    // A page never shown is never created, and writes nothing.
    win32_host::set_dword(HKEY_LOCAL_MACHINE, kMcdKey, "Enable", 7);
    open([](Sheet& sheet) { sheet.ok(); });
    EXPECT_EQ(dword_of(enable()), 7u);
}

TEST_F(OptionsPage, MissingKeyIsReportedOnceAndNothingIsWritten)
{
    for (bool denied : {false, true}) {
        win32_host::reset();
        SetUp();
        if (denied)
            win32_host::deny_key(HKEY_LOCAL_MACHINE, kMcdKey);
        else
            win32_host::delete_key(HKEY_LOCAL_MACHINE, kMcdKey);
        bool checked = opened_checked([](Sheet& sheet) {
            EXPECT_TRUE(sheet.click(IDC_MCD_ACCELERATION));
            EXPECT_TRUE(sheet.apply_enabled());
            EXPECT_TRUE(sheet.apply());
            sheet.ok();
        });
        EXPECT_FALSE(checked);
        ASSERT_EQ(win32_host::message_boxes().size(), 1u);
        const auto& box = win32_host::message_boxes()[0];
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.text, "Could not open QV 6 Registry Key");
        EXPECT_EQ(box.caption, "ERROR");
        EXPECT_EQ(box.type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(win32_host::key_exists(HKEY_LOCAL_MACHINE, kMcdKey), denied);
        EXPECT_EQ(enable(), nullptr);
        for (auto& call : win32_host::calls())
            EXPECT_EQ(call.rfind("RegSetValueExA", 0), std::string::npos) << call;
    }
}

} // namespace
