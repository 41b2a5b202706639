#include "platform/posix/terminal.h"

#include <locale.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <wchar.h>

namespace pvx {
namespace {

// The characters of UTF-8 text, decoded as the C library decodes UTF-8
// whatever the user's locale: the progress line measures names in columns
// with wcwidth, which knows the wide East Asian characters.
locale_t Utf8Locale() {
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return utf8;
}

}  // namespace

size_t FitColumns(std::string* s, size_t cols) {
  locale_t utf8 = Utf8Locale();
  locale_t old = utf8 ? uselocale(utf8) : nullptr;
  size_t used = 0;
  size_t i = 0;
  mbstate_t state{};
  while (i < s->size()) {
    wchar_t c = 0;
    size_t len = mbrtowc(&c, s->data() + i, s->size() - i, &state);
    int w = 1;
    if (len == static_cast<size_t>(-1) || len == static_cast<size_t>(-2) ||
        len == 0) {
      len = 1;
      state = mbstate_t{};
    } else {
      w = wcwidth(c);
      if (w < 0) w = 1;
    }
    if (used + static_cast<size_t>(w) > cols) {
      s->resize(i);
      break;
    }
    used += static_cast<size_t>(w);
    i += len;
  }
  if (old) uselocale(old);
  return used;
}

size_t Columns(std::string s) { return FitColumns(&s, static_cast<size_t>(-1)); }

size_t TerminalColumns() {
  struct winsize ws;
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) {
    return ws.ws_col;
  }
  return 80;
}

Lang LanguageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value != nullptr && value[0] != '\0') {
      return strncmp(value, "ja", 2) == 0 ? Lang::kJapanese : Lang::kEnglish;
    }
  }
  return Lang::kEnglish;
}

bool ProgramFolder(std::string* folder) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return false;
  const std::string path(self, static_cast<size_t>(n));
  *folder = path.substr(0, path.rfind('/'));
  return true;
}

std::string TerminalSafe(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += (b < 0x20 && b != '\n' && b != '\t') || b == 0x7F
                 ? '?'
                 : static_cast<char>(b);
      ++i;
      continue;
    }
    // The length a lead byte announces, and the smallest code point that
    // needs it (shorter forms are invalid).
    const size_t len = b >= 0xC2 && b <= 0xDF   ? 2
                       : b >= 0xE0 && b <= 0xEF ? 3
                       : b >= 0xF0 && b <= 0xF4 ? 4
                                                : 0;
    uint32_t c = len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
    size_t k = 1;
    for (; len && k < len && i + k < n; ++k) {
      const unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) break;
      c = (c << 6) | (t & 0x3F);
    }
    const bool valid = len && k == len &&
                       c >= (len == 2 ? 0x80u : len == 3 ? 0x800u : 0x10000u) &&
                       c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF) &&
                       !(c >= 0x80 && c <= 0x9F);  // C1 controls
    if (valid) {
      out.append(text, i, len);
      i += len;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

}  // namespace pvx
