// What the engines share: messages through the platform, the scope
// that closes files and the progress window on every way out, the chunked
// copy, and the guarded opening of an output file.
#pragma once

#include <stdint.h>

#include "base/path.h"
#include "engines/messages.h"
#include "format/piece_format.h"
#include "platform/platform.h"

namespace pvx {

// Writes a classic header at the file's position. False + *why when the
// write fails.
bool WritePieceHeader(Platform& p, FileHandle f, const char* cp932_name,
                      uint32_t source_size, Failure* why);

enum class HeaderRead { kOk, kNotPieceSet, kIoError };
// Reads 284 bytes at the file's position and parses them. kNotPieceSet when
// fewer arrive or they are no header; kIoError (+ *why) on a read failure.
// A "@PARVEX+" header counts as no piece set unless accept_large: a caller
// that copies only source_size bytes refuses it, as an older reader does.
HeaderRead ReadPieceHeader(Platform& p, FileHandle f, PieceHeader* out,
                           Failure* why, bool accept_large = false);

// The text id is passed as an int: va_start needs a last named parameter
// whose type is left as it is by the promotions of a variable argument list,
// which an enum is not.
// Formats catalogue text id and shows it as a notice.
void Tell(Platform& p, int id, ...);
// Formats catalogue text id and asks it as an OK/Cancel question.
bool Ask(Platform& p, int id, ...);
// Formats catalogue text id into a failure text.
void Blame(Failure* f, Platform& p, int id, ...);
// Copies text for display, with control characters shown as '?'.
void Printable(const char* text, char* out, size_t cap);

// Owns what an engine opened; closes it all when the engine returns.
class EngineScope {
 public:
  explicit EngineScope(Platform& p) : p_(p) {}
  ~EngineScope();
  // Shows the progress window; on failure tells the user.
  bool ShowProgress();
  FileHandle input = nullptr;   // the source, or the piece being read
  FileHandle piece = nullptr;   // the piece being written (cut)
  FileHandle output = nullptr;  // the joined output

 private:
  Platform& p_;
  bool progress_ = false;
};

// Byte counts of one operation. remaining is counted in 64 bits, so that
// pieces holding more than the source size take it below zero instead of
// wrapping it round to exactly zero.
struct Counts {
  int64_t remaining;   // source bytes still to come (negative on overrun)
  uint64_t done;       // bytes processed, for the bar
  uint64_t total;      // bytes to process, for the bar
};


// Copies count bytes from in to out in the platform's chunks, moving the
// bar and checking Cancel after each chunk. A read that ends early is a
// failure naming in_path. Returns what the engine returns then: kDone
// (copied), kFailed (cancelled) or kIoFailure (*io says why).
int CopyChunks(Platform& p, FileHandle in, const char* in_path,
               FileHandle out, uint32_t count, Counts* c, Failure* io);

// The output name a header asks for: FileName in the local encoding, after
// prefix when NameIsWhole is 0. Tells the user and returns false when the
// name is not valid, not a plain file name, or one the platform would not
// keep as it is (AcceptsName). piece names the piece in the message.
bool OutputNameOf(Platform& p, const PieceHeader& h, const char* prefix,
                  const char* piece, char* out, size_t cap);

// Checks a header's HeaderSize against the bytes the piece holds after the
// point where the header starts. False when it cannot be a header.
bool HeaderSizeFits(const PieceHeader& h, uint64_t bytes_from_header);

// Asks catalogue question id (formatted with name) about replacing the
// entry at path.
bool AskReplace(Platform& p, const char* path, int id, const char* name);

// True when path names one of the files being read: first (the open piece
// or the stub's own file), or any existing piece folder + "<base>.cNN" from
// piece first_k on (all of them up to the platform's PieceLimit, gaps or
// not, then as long as they go on). Decided before anything is created or
// emptied.
bool IsInput(Platform& p, const char* path, FileHandle first,
             const char* folder, const char* base, int first_k);

// Opens the output for writing (replace: the user agreed to replace what
// stands at path) and empties it, unless it is one of the files being read
// (IsInput). It takes first's permission bits. Tells the user and returns
// null on failure.
FileHandle OpenOutput(Platform& p, const char* path, bool replace,
                      FileHandle first, const char* folder, const char* base,
                      int first_k);

// Creates every missing folder along path; the last component counts as a
// folder too. False when one cannot be created (or path is empty).
bool CreateFolderChain(Platform& p, const char* path, char sep = kNativeSep);

// Progress position of done out of total in 0..65535 (or above, when done
// overruns total), in double precision and truncated.
int ProgressPosition(uint64_t done, uint64_t total);

// Gives f, written to its end, the name OpenWrite was given (path, shown
// as name). When an entry took that name meanwhile, asks catalogue
// question id (formatted with name) whether to replace it. False + *io.
bool CommitNamed(Platform& p, FileHandle f, const char* path,
                 const char* name, int id, Failure* io);

// The closing report: button "OK" and the text, in the given order, then
// waits for the button.
void FinishAndWait(Platform& p, const char* text, bool button_first);

// folder + name into out; tells the user when it does not fit.
bool JoinPath(Platform& p, char* out, size_t cap, const char* folder,
              const char* name);

}  // namespace pvx
