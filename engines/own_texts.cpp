// gettext behind Tr: a text is looked up only for a language other than
// English, so the English stays exactly what the sources say.
#include "engines/own_texts.h"

#include <libintl.h>
#include <locale.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace pvx {
namespace {

bool catalogue_bound = false;

bool Translated(Lang lang) { return lang != Lang::kEnglish && catalogue_bound; }

}  // namespace

void UseCatalogue(Lang lang, const char* folder) {
  if (lang == Lang::kEnglish) return;
  bindtextdomain(kTextDomain, folder);
  bind_textdomain_codeset(kTextDomain, "UTF-8");
  // gettext translates nothing under the "C" locale, which is what the
  // process has when the user's ja_JP locale is not installed; C.UTF-8 is
  // always there, and LANGUAGE then names the catalogue to use.
  const char* messages = setlocale(LC_MESSAGES, nullptr);
  if (messages == nullptr || strcmp(messages, "C") == 0 ||
      strcmp(messages, "POSIX") == 0) {
    setlocale(LC_MESSAGES, "C.UTF-8");
    // The system's texts (strerror) then come in Japanese as well; in
    // UTF-8 like ours, not in the "C" character set, which has no kana.
    bind_textdomain_codeset("libc", "UTF-8");
  }
  setenv("LANGUAGE", "ja", 1);
  catalogue_bound = true;
}

const char* Tr(Lang lang, const char* en) {
  return Translated(lang) ? dgettext(kTextDomain, en) : en;
}

const char* TrC(Lang lang, const char* context, const char* en) {
  if (!Translated(lang)) return en;
  // The catalogue keys a text with a context as "context\004text".
  const std::string key = std::string(context) + '\004' + en;
  const char* found = dgettext(kTextDomain, key.c_str());
  return found == key.c_str() ? en : found;
}

const char* TrN(Lang lang, const char* one, const char* many, uint64_t n) {
  if (!Translated(lang)) return n == 1 ? one : many;
  // ngettext takes an unsigned long; a count beyond it takes the form of
  // the largest one.
  const unsigned long k =
      n > static_cast<uint64_t>(~0ul) ? ~0ul : static_cast<unsigned long>(n);
  return dngettext(kTextDomain, one, many, k);
}

std::string TrF(Lang lang, const char* en, ...) {
  const char* format = Tr(lang, en);
  va_list args;
  va_start(args, en);
  va_list again;
  va_copy(again, args);
  const int n = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) vsnprintf(&out[0], out.size() + 1, format, again);
  va_end(again);
  return out;
}

}  // namespace pvx
