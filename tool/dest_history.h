// The destination history of the main dialog: a fixed first entry that
// stands for the source file's own folder, then up to seven folders used
// before, the least recently used first. The rules live here, apart from
// the combo box that shows the list and the registry that keeps it, so that
// they can be checked without Windows.
//
// Compiled into the CRT-free tool: no standard library here.
#pragma once

#include <stddef.h>

#include "format/piece_format.h"

namespace pvx {

// The fixed first entry.
extern const char kSameFolder[];  // "(Same Folder)"
// Entries the list holds at most: the fixed one and seven folders.
constexpr int kDestEntries = 8;

// Where the list is kept between runs: the values Folder0 .. Folder7.
class DestStore {
 public:
  // The value Folder<k> into out; false (out empty) when it is missing or
  // does not fit cap bytes.
  virtual bool ReadFolder(int k, char* out, size_t cap) = 0;
  virtual void WriteFolder(int k, const char* text) = 0;

 protected:
  ~DestStore() {}
};

class DestHistory {
 public:
  DestHistory();  // the fixed entry alone

  int Count() const { return count_; }
  const char* At(int index) const { return entries_[index]; }

  // Appends Folder1, Folder2, ... as stored, up to the first empty or
  // missing value (Folder0 is never read). Returns how many were appended.
  int Load(DestStore& store);

  // Records a folder that an operation is about to use (trimmed, not
  // empty). same is the position of an entry equal to text ignoring case,
  // as the system compares (the list control's exact search), or -1; the
  // fixed entry at 0 counts as none. That entry is removed, or else, when
  // the list is full, the oldest folder (position 1); then text is
  // appended. The fixed entry is never removed. Returns the position
  // removed, or -1. text is shorter than kPathCap.
  int Remember(const char* text, int same);

  // Writes the entries as Folder0, Folder1, ... up to the first empty one,
  // and turns a selection of -1 ("the entry remembered last") into the
  // last position.
  void Save(DestStore& store, int* selection) const;

 private:
  void RemoveAt(int index);

  char entries_[kDestEntries][kPathCap];
  int count_;
};

// Removes white space (blank, tab, line breaks, vertical tab, form feed)
// from both ends of text, in place.
void TrimBlanks(char* text);

// Windows takes "/" for "\" in paths: every "/" of path becomes "\", in
// place, so that the engines, which split at "\" only, see the folders.
void SlashesToBackslashes(char* path);

}  // namespace pvx
