#include "tool/dest_history.h"

#include "format/text.h"

namespace pvx {

const char kSameFolder[] = "(Same Folder)";

namespace {

// A byte that does not start a well-formed sequence: a value outside
// Unicode, so that it matches only the same byte.
constexpr uint32_t kStrayByte = 0x110000;

// The next character of a UTF-8 text as a code point.
uint32_t NextChar(const unsigned char*& s) {
  uint32_t c = *s++;
  if (c < 0x80) return c;
  int more = c >= 0xF8 ? -1 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
  if (more < 0) return kStrayByte + c;
  for (int i = 0; i < more; ++i)
    if ((s[i] & 0xC0) != 0x80) return kStrayByte + c;
  uint32_t value = more == 3 ? (c & 0x07) : more == 2 ? (c & 0x0F) : (c & 0x1F);
  for (int i = 0; i < more; ++i) value = (value << 6) | (*s++ & 0x3F);
  return value;
}

// Lower case of the letters that have one in the scripts folder names are
// written in here; everything else is returned unchanged.
uint32_t Fold(uint32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c < 0x80) return c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;       // Latin-1
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;     // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                   // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;                 // full width
  return c;
}

}  // namespace

bool SameFolderText(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x && *y)
    if (Fold(NextChar(x)) != Fold(NextChar(y))) return false;
  return !*x && !*y;
}

void TrimBlanks(char* text) {
  auto blank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
           c == '\f';
  };
  size_t start = 0;
  while (blank(text[start])) ++start;
  size_t end = StrLen(text);
  while (end > start && blank(text[end - 1])) --end;
  for (size_t i = start; i < end; ++i) text[i - start] = text[i];
  text[end - start] = 0;
}

DestHistory::DestHistory() : count_(1) {
  StrCopy(entries_[0], kPathCap, kSameFolder);
}

int DestHistory::Load(DestStore& store) {
  int added = 0;
  char value[kPathCap];
  for (int k = 1; k < kDestEntries && count_ < kDestEntries; ++k) {
    if (!store.ReadFolder(k, value, sizeof value) || !value[0]) break;
    StrCopy(entries_[count_++], kPathCap, value);
    ++added;
  }
  return added;
}

int DestHistory::Find(const char* text, int from) const {
  for (int i = from < 0 ? 0 : from; i < count_; ++i)
    if (SameFolderText(entries_[i], text)) return i;
  return -1;
}

void DestHistory::RemoveAt(int index) {
  for (int i = index; i + 1 < count_; ++i)
    StrCopy(entries_[i], kPathCap, entries_[i + 1]);
  --count_;
}

int DestHistory::Remember(const char* text) {
  // A folder typed with the fixed entry's text is a folder like any other;
  // the fixed entry itself stays at position 0.
  int removed = Find(text, 1);
  if (removed < 0 && count_ >= kDestEntries) removed = 1;
  if (removed > 0) RemoveAt(removed);
  StrCopy(entries_[count_++], kPathCap, text);
  return removed;
}

void DestHistory::Save(DestStore& store, int* selection) const {
  for (int k = 0; k < count_; ++k) {
    if (!entries_[k][0]) break;
    store.WriteFolder(k, entries_[k]);
  }
  if (*selection == -1) *selection = count_ - 1;
}

}  // namespace pvx
