// The display driver as the applet fuzzer plays it: each escape the applet
// sends takes the next plan of the input, which has the driver model answer
// or writes answers of its own (any bytes, exactly as many as the applet says
// its buffer holds), and which decides the result the applet sees. Once the
// plans are used up the model answers alone. What the applet was told about
// the board family and the BIOS texts is kept, so that the checks can say
// what the sheet must show.
#pragma once

#include "tests/fuzz/applet_script.h"

#include "display/display_driver.h"

#include <string>

namespace fuzz_tests {

// What the last answer to an escape told the applet.
struct Told {
    bool asked = false;
    int32_t result = 0;
    uint32_t family = 0;    // ESC_GET_BOARD_FAMILY: the word written
    std::string bios_texts; // ESC_GET_BIOS_DATA: the three texts joined as shown
};

class FuzzedDriver {
  public:
    FuzzedDriver(sim::DisplayDriver& model, const std::vector<EscapePlan>& plans)
        : model_(model), plans_(plans)
    {
    }

    // Answers one escape as ExtEscape passes it on.
    int32_t answer(int escape, int in_size, const void* in, int out_size, void* out);

    // Forgets what the applet was told (at each opening of the sheet).
    void forget()
    {
        family_ = {};
        bios_ = {};
    }
    const Told& family() const { return family_; }
    const Told& bios() const { return bios_; }

  private:
    int32_t own_answer(const EscapePlan& plan, int escape, int in_size, const void* in,
                       int out_size, void* out);
    void remember(int escape, int32_t result, int in_size, const void* in, int out_size,
                  const void* out);

    sim::DisplayDriver& model_;
    const std::vector<EscapePlan>& plans_;
    size_t next_ = 0;
    Told family_, bios_;
};

} // namespace fuzz_tests
