// On request, writes what this process shows: every visible top-level window
// and its descendants with their texts, states and screen rectangles, and the
// items of tab controls. A driving script asks by putting a name into
// DIR\dump.request and reads DIR\NAME.txt when it appears.
#pragma once

// Starts the thread that watches DIR for requests.
void start_window_dumps(const char* dir);
