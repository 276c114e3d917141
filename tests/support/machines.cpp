#include "tests/support/machines.h"

#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace testing_support {

std::vector<sim::BoardSetup> boards(std::initializer_list<uint32_t> codes)
{
    return boards(std::vector<uint32_t>(codes));
}

std::vector<sim::BoardSetup> boards(const std::vector<uint32_t>& codes)
{
    std::vector<sim::BoardSetup> setups;
    for (uint32_t code : codes)
        setups.emplace_back(code);
    return setups;
}

Booted::Booted(uint32_t code, const korvid_host::DriverImage& driver)
    : system(boards({code})), client(system, 0)
{
    EXPECT_EQ(system.boot(driver), 0u);
}

sim::ModeEntry Booted::set(const std::string& text)
{
    std::string why;
    auto want = sim::parse_wanted_mode(text, &why);
    EXPECT_TRUE(want) << why;
    auto mode = want ? client.set_mode(*want, &why) : std::nullopt;
    EXPECT_TRUE(mode) << text << ": " << why;
    return mode.value_or(sim::ModeEntry{});
}

} // namespace testing_support
