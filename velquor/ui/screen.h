// Window element table and views: the content operations that every other
// module requests, and the debug memo that the byte transport writes to.
#pragma once

#include <cstddef>

// Size of the debug memo text (511 characters and the NUL).
constexpr size_t debug_str_size = 512;

// Appends a line to the debug memo (a CR LF before it); empties the memo first
// when old text and new line would reach 511 characters; an empty line empties
// it. Callable from the worker thread.
void add_debug_str(const char *text);
// Copies the memo text into out (at most n - 1 characters and a NUL).
void debug_str_get(char *out, size_t n);

// Stores, rebuilds or refreshes the main window's contents (modes 1 to 11).
void CreateWindowContents(int mode);
// Refreshes the enable states of the window elements.
void paint_enab(void);
