// The filter walk: one pass over the filter text, each step moving the JSON cursor to a
// member or an element, then the selected value (or "null" for a miss) is written.
#pragma once

// Raw output: a selected string is written as its characters, backslashes dropped.
extern bool flg_r;

// at_end: written exactly as for done, but the answer reached the end of the held text
// (a value ran into it, or a lookup met it before finding its target), so it may
// depend on input past what the buffer held. A zero byte inside the text ends it as
// well, but reaching that is not reaching the end of what was held.
enum class filt_result { done, malformed, at_end };

// Walks the zero-terminated filter over the text from json up to json_end (where a zero
// byte stands). Writes the output only once the walk has ended, so a malformed filter
// leaves nothing written.
filt_result apply_filt(const char *json, const char *json_end, const char *filt);
