// The terminal and the user's environment on POSIX: what a terminal may be
// sent, how many columns text takes on it, the user's language.
#pragma once

#include <stddef.h>

#include <string>

#include "base/base.h"

namespace pvx {

// Japanese when the first non-empty of LC_ALL, LC_MESSAGES and LANG starts
// with "ja"; English otherwise.
Lang LanguageFromEnvironment();

// The folder the running program is in, without a '/' at its end ("" for
// the root); false when it cannot be told.
bool ProgramFolder(std::string* folder);

// text as a terminal may show it: every byte that is not part of valid
// UTF-8, every control character but the line feed and the tab (C0, DEL
// and C1: what starts an escape sequence or moves the cursor) becomes '?'.
std::string TerminalSafe(const std::string& text);

// Cuts s (UTF-8) to at most cols columns, at a character boundary; returns
// the columns it takes. A byte that does not decode, or a character
// wcwidth does not know, takes one column.
size_t FitColumns(std::string* s, size_t cols);
// The columns s takes.
size_t Columns(std::string s);
// The width of the terminal on standard error; 80 when it cannot be told.
size_t TerminalColumns();

}  // namespace pvx
