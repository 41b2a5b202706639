// The engines: the cut and the join (the tool's and the stub's). Each runs
// to its end inside the caller, shows its own notices, questions and
// progress through the platform, and returns:
//   kDone       the work is complete and the user acknowledged it;
//   kFailed     refused, failed (already told to the user) or cancelled;
//   kIoFailure  a read or write failed during the copy; *io says which file
//               and why, and the front end reports it. Output written so far
//               stays on disk.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

namespace pvx {

enum EngineResult { kFailed = 0, kDone = 1, kIoFailure = 2 };

// Cuts source into a piece set in destination (empty: the source's folder;
// otherwise ending in the separator).
// record_name: the name the set records and its pieces are named after
// (null: the source's own name); the source gives only its bytes.
int CutFile(Platform& p, uint32_t piece_size, const char* source,
            const char* destination, bool self_join, bool pause, Failure* io,
            const char* record_name = nullptr);

// No catalogue text: what a join never says.
constexpr int kNoText = -1;

// What a join knows of its set's piece 0, and of the program it speaks for.
// Callers pass constant objects: a program's build then keeps only the way
// it uses.
struct PieceZero {
  // true: piece 0 is the file the join is given, a self-joining set's
  // program with its header behind its image, and the join speaks as that
  // program does: it takes a destination typed without its separator,
  // labels the window with its own name at once, says in its own words
  // that its own file failed to open, sets the caption (the whole set's
  // size) only once the output is open, and shows its closing report
  // before the button; it does not look by name for a piece at the
  // output's name before opening it. false: piece 0 is <base>.c00 beside
  // the file given, its header at its start.
  bool program;
  // The question before an existing output is replaced (catalogue text).
  int overwrite;
  // The prompt for the next disk before each piece (catalogue text), or
  // kNoText: no pause.
  int disk;
};

// Joins the set whose pieces are named after path (its base name, in its
// folder) into destination (empty: the folder of path). header_at: where
// piece 0's header starts (the stub image's length in a program, else 0).
int Join(Platform& p, const char* path, const PieceZero& zero,
         uint32_t header_at, const char* destination, Failure* io);

// Joins the plain set that path selects (any file with the set's base name)
// into destination (empty: the folder of path), with the tool's questions.
int JoinFile(Platform& p, const char* path, const char* destination,
             bool pause, Failure* io);

// Rebuilds the source from a self-joining piece 0 at self_path, whose header
// starts at stub_image_size, and the pieces named after it in its folder.
// destination empty: the folder of self_path; a missing separator is added.
int SelfJoin(Platform& p, const char* self_path, uint32_t stub_image_size,
             const char* destination, Failure* io);

}  // namespace pvx
