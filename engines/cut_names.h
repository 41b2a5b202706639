// Naming the pieces of a cut, before the first byte is written: shared by
// the cut of a file and the cut of a stream.
#pragma once

#include <stddef.h>

#include "format/piece_format.h"
#include "platform/platform.h"

namespace pvx {

// The pieces of a set whose taken names the user agreed to replace: a piece
// is written over what stands at its name only then. A name taken after
// the question is asked about when the piece takes it.
class AgreedNames {
 public:
  void Mark(int k) {
    if (k >= 0 && k < kMaxSetPieces) bits_[k / 8] |= uint8_t(1u << (k % 8));
  }
  bool Has(int k) const {
    return k >= 0 && k < kMaxSetPieces && ((bits_[k / 8] >> (k % 8)) & 1u);
  }

 private:
  uint8_t bits_[(kMaxSetPieces + 7) / 8] = {};
};

// Decides the names of the set a cut writes before its first byte. base
// holds the source's base and receives the stem of the pieces: "_s" in
// front for a self-joining set, then, for a self-joining cut of a program
// (rename), one "_" more for every question the user answers OK while a
// name of the set is taken. Otherwise every taken name is asked about
// (replace it?). The names are pieces first .. count - 1 in folder and the
// platform's companions; a name at which source stands is refused whatever
// the answers. The pieces whose taken names the user agreed to replace are
// marked in *agreed. False: refused or cancelled, and told.
bool DecideCutNames(Platform& p, const char* folder, char* base, size_t cap,
                    int first, int count, bool self_join, bool rename,
                    FileHandle source, AgreedNames* agreed);

// "<base>.exe" for piece 0 of a self-joining set, "<base>.cNN" otherwise.
bool CutPieceName(char* out, size_t cap, const char* base, int k,
                  bool self_join);

// The 284 header bytes of a cut of a source named name (UTF-8, without
// folder) of size bytes: FileName in code page 932 when the name has that
// form, else its stand-in with the record naming the file exactly; the
// record under "@PARVEX+" from 4 GiB on (BuildPieceHeader). False, and
// told, when the name has neither form or does not fit, saying then how
// long the name may be.
bool HeaderForSource(Platform& p, const char* name, uint64_t size,
                     uint8_t out[kHeaderSize]);

// What heads piece 0 of a cut: for a self-joining one the platform's
// program (*stub, and *length as measured; none otherwise), then the
// header. False after telling the user when the platform has no sound
// program, or when the head does not fit in piece_size.
bool HeadForCut(Platform& p, bool self_join, uint32_t piece_size,
                const uint8_t** stub, uint32_t* length);

// A name that no join would create gives a set that can never be joined:
// false, after telling the user (the name shown safely).
bool StorableName(Platform& p, const char* name);

// The stem of a cut's names from its source's base: "_s" in front for a
// self-joining set. False after telling the user when it does not fit.
bool CutStem(Platform& p, const char* base, bool self_join, char* out,
             size_t cap);

}  // namespace pvx
