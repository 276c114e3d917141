// What must hold after every request, whatever the request was: the board
// records and the driver's globals keep what discovery and initialisation
// set, the mode tables keep their load-time contents (except what a request
// may change: validity and the rates of the slot rows), the mapping table
// holds only mappings of real apertures, and a request to one board leaves
// what the other boards answer as it was. A broken invariant aborts with a
// message, which the fuzzer reports as a crash.
#pragma once

#include "miniport/modes.h"
#include "platform/videoport/system.h"

#include <vector>

namespace fuzz_tests {

[[noreturn]] void broken(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The two mode tables and every timing record they reference, as loaded.
class LoadTimeTables {
  public:
    // Call with the driver's data at its load-time values.
    void take();
    void check() const;

  private:
    struct Record {
        const MODE_TIMING* live;
        MODE_TIMING loaded;
    };
    void check_table(const DISPLAY_MODE* live, const std::vector<DISPLAY_MODE>& loaded,
                     const char* name) const;
    std::vector<DISPLAY_MODE> sgram_;
    std::vector<DISPLAY_MODE> wram_;
    std::vector<Record> records_;
};

// What discovery and initialisation left, for comparison after each request.
class BootState {
  public:
    explicit BootState(korvid_host::System& m);
    void check(korvid_host::System& m) const;
    // The mapping table may change only through the mapping requests.
    void check_request(korvid_host::System& m, ULONG code, size_t mappings_before,
                       uint64_t device_ns) const;

  private:
    void check_board(korvid_host::System& m, size_t i) const;
    void check_mappings(korvid_host::System& m) const;
    std::vector<BOARD_EXTENSION> boards_;
    std::vector<korvid_host::Mapping> kernel_mappings_;
    PDISPLAY_MODE table_;
    ULONG table_rows_;
    bool any_never_idle_ = false;
};

// What each board answers the display driver: its record, the mode list it
// reports and its current mode with that row's timing. A request carried out
// on one board changes nothing another board answers, except what the boards
// share by design: a custom or trial rate lands in the slot rows of the one
// mode table, which every board listing from it sees.
class BoardAnswers {
  public:
    explicit BoardAnswers(korvid_host::System& m) { take(m); }
    // The board (in chain order) that a request arriving on `device` is
    // carried out on: the selection walks the chain from there.
    static size_t target(korvid_host::System& m, int device);
    // After a request carried out on `target`: every other board answers as
    // before. Takes the answers afresh for the next request.
    void check_request(korvid_host::System& m, ULONG code, size_t target);

  private:
    struct Listed {
        VIDEO_MODE_INFORMATION info;
        bool slot;
    };
    struct Answers {
        BOARD_EXTENSION record;
        std::vector<Listed> modes;
        bool current_in_table = false;
        bool current_slot = false;
        VIDEO_MODE_INFORMATION current{};
        MODE_TIMING timing{};
    };
    static Answers answers(PBOARD_EXTENSION ext);
    static const char* what_changed(const Answers& before, const Answers& after, bool slots_shared);
    // What a board's answers are made of besides its own record: the active
    // table and what requests may change in its rows. While it and a board's
    // record stay as they were, so do the board's answers, and they are not
    // taken again (taking them costs more than a request).
    // Whether the table state changed since the last call, which stores it.
    bool table_changed();
    void take(korvid_host::System& m);
    std::vector<Answers> boards_;
    const DISPLAY_MODE* table_ = nullptr;
    std::vector<ULONG> rows_; // per row: validity, rate, PLL word, pixel clock
};

} // namespace fuzz_tests
