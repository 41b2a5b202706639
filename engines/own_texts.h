// parvex's own texts: written in English where they are used, and looked
// up in the gettext catalogue "parvex" (po/ja.po) when the user's language
// is another. The Windows programs' texts are the message catalogue
// (messages.h) instead.
#pragma once

#include <stdint.h>

#include <string>

#include "base/base.h"

namespace pvx {

// The catalogue's domain, and the folder above ja/LC_MESSAGES/parvex.mo.
constexpr char kTextDomain[] = "parvex";

// Binds the catalogue in folder for lang. Until it is bound every text
// reads in English. Japanese comes out as UTF-8 whatever the locale's
// character set, and whether or not a ja_JP locale is installed.
void UseCatalogue(Lang lang, const char* folder);

// en in lang.
const char* Tr(Lang lang, const char* en);
// en in lang where the same English says different things (context tells
// which).
const char* TrC(Lang lang, const char* context, const char* en);
// The form for n of one / many in lang (English: one for 1, many else).
const char* TrN(Lang lang, const char* one, const char* many, uint64_t n);

// printf of en in lang.
std::string TrF(Lang lang, const char* en, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace pvx
