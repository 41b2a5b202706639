#include "tool/dest_history.h"

#include "base/text.h"

namespace pvx {

const char kSameFolder[] = "(Same Folder)";

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

void SlashesToBackslashes(char* path) {
  for (; *path; ++path)
    if (*path == '/') *path = '\\';
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

void DestHistory::RemoveAt(int index) {
  for (int i = index; i + 1 < count_; ++i)
    StrCopy(entries_[i], kPathCap, entries_[i + 1]);
  --count_;
}

int DestHistory::Remember(const char* text, int same) {
  // A folder typed with the fixed entry's text is a folder like any other;
  // the fixed entry itself stays at position 0.
  int removed = same > 0 && same < count_ ? same : -1;
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
