// Bounded text handling for the applet's fixed buffers: nothing here reads
// past the given limit or writes past the buffer.
#pragma once

#include <stddef.h>

// Length of a text that may lack its terminating zero within `limit` bytes.
inline size_t text_length(const char* text, size_t limit)
{
    size_t n = 0;
    while (n < limit && text[n])
        ++n;
    return n;
}

// Appends at most `limit` characters of `text` to the zero-terminated text in
// `buffer` (`size` bytes), cutting where the buffer ends.
inline void append_text(char* buffer, size_t size, const char* text, size_t limit = (size_t)-1)
{
    size_t at = text_length(buffer, size);
    if (size == 0 || at >= size)
        return;
    size_t n = text_length(text, limit);
    if (n > size - 1 - at)
        n = size - 1 - at;
    for (size_t i = 0; i < n; ++i)
        buffer[at + i] = text[i];
    buffer[at + n] = '\0';
}

inline void copy_text(char* buffer, size_t size, const char* text, size_t limit = (size_t)-1)
{
    if (size == 0)
        return;
    buffer[0] = '\0';
    append_text(buffer, size, text, limit);
}
