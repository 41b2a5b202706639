// Joining a piece set back into its source: a plain set (base.c00,
// base.c01, ...), or a self-joining one, whose piece 0 is the stub program
// with the header and the first data behind its image.
#include "engines/engine_util.h"
#include "engines/engines.h"
#include "base/text.h"

namespace pvx {

namespace {

// "name (N Kbytes)" into text (kSizeTextCap bytes): bytes in kilobytes,
// for the progress window's caption or its label. The count may exceed
// what an int holds (a set of more than 2 TiB).
constexpr size_t kSizeTextCap = kPathCap + 64;
const char* SizeText(Platform& p, char* text, const char* name,
                     uint64_t bytes) {
  char digits[kKilobyteDigitsCap];
  Format(text, kSizeTextCap, Text(p.Language(), kMsgSizeCaption), name,
         KilobyteDigits(bytes, digits));
  return text;
}

}  // namespace

int Join(Platform& p, const char* path, const PieceZero& zero,
         uint32_t header_at, const char* destination, Failure* io) {
  PathParts set;
  if (!SplitPath(path, &set)) {
    Tell(p, kMsgPathTooLong, path);
    return kFailed;
  }
  // The output's folder: the destination, or the set's own. The program
  // also takes a destination typed without its separator.
  char typed[kPathCap];
  const char* out_folder = destination[0] ? destination : set.folder;
  if (zero.program && destination[0]) {
    const size_t n = StrLen(destination);
    const size_t sep = destination[n - 1] != kNativeSep;  // to add: 0 or 1
    if (n + sep >= sizeof typed) {
      Tell(p, kMsgPathTooLong, destination);
      return kFailed;
    }
    MemCopy(typed, destination, n);
    typed[n] = kNativeSep;
    typed[n + sep] = 0;
    out_folder = typed;
  }
  CreateFolderChain(p, out_folder);  // which does nothing with an empty one

  EngineScope scope(p);
  if (!scope.ShowProgress()) return kFailed;
  if (zero.program) p.ProgressLabel(set.name);

  Counts c = {0, 0, 0};
  char text[kSizeTextCap];
  char piece_name[kPathCap];
  char piece_path[kPathCap];
  char out_name[kPathCap];
  char out_path[kPathCap];
  Failure why;
  int k = 0;
  do {
    if (zero.disk != kNoText) {
      Format(text, sizeof text, Text(p.Language(), static_cast<Msg>(zero.disk)),
             k + 1);
      if (!p.AwaitDisk(text)) return kFailed;
    }
    // The program's piece 0 is its own file; every other piece is named
    // after path.
    const char* in_name = set.name;
    const char* in_path = path;
    if (k != 0 || !zero.program) {
      if (!PieceName(piece_name, sizeof piece_name, set.base, k) ||
          !JoinPath(p, piece_path, sizeof piece_path, set.folder, piece_name))
        return kFailed;
      in_name = piece_name;
      in_path = piece_path;
    }
    // A piece that appeared at the output's name after the output was
    // opened. Asked by name before the open, which an output held for
    // writing can make fail (Windows sharing), and on the open file after it.
    if (scope.output && !zero.program && p.IsFileAt(scope.output, in_path)) {
      Tell(p, kMsgIsOutput, in_path);
      return kFailed;
    }
    scope.input = p.OpenRead(in_path, &why);
    if (!scope.input) {
      if (k == 0 && zero.program)
        Tell(p, kMsgOpenFailed, in_name);
      else
        p.Notify(why.text);
      return kFailed;
    }
    if (scope.output && p.SameFile(scope.input, scope.output)) {
      Tell(p, kMsgIsOutput, in_path);
      return kFailed;
    }
    uint64_t length = 0;
    if (!p.Length(scope.input, &length, io)) return kIoFailure;
    if (length > 0xFFFFFFFFu) {
      Tell(p, kMsgTooLarge, in_name);
      return kFailed;
    }
    uint32_t piece_left = static_cast<uint32_t>(length);

    if (k == 0) {
      PieceHeader h;
      HeaderRead read = HeaderRead::kNotPieceSet;
      if (header_at < length || !zero.program) {
        if (zero.program && !p.Seek(scope.input, header_at, io))
          return kIoFailure;
        read = ReadPieceHeader(p, scope.input, &h, io, true);
      }
      if (read == HeaderRead::kIoError) return kIoFailure;
      if (read == HeaderRead::kNotPieceSet ||
          !HeaderSizeFits(h, length - header_at)) {
        Tell(p, kMsgNotPieceSet, in_name);
        return kFailed;
      }
      if (!OutputNameOf(p, h, set.base, in_name, out_name, sizeof out_name))
        return kFailed;
      // The data starts HeaderSize bytes (284 or more) after the header's
      // start.
      const uint64_t head = uint64_t{header_at} + h.header_size;
      if ((zero.program || head != kHeaderSize) &&
          !p.Seek(scope.input, head, io))
        return kIoFailure;
      piece_left -= static_cast<uint32_t>(head);
      c.remaining = static_cast<int64_t>(h.size);
      c.done = head;
      c.total = head + h.size;
      // The caption: the source's size, shown at once; the program shows
      // the whole set's once the output is open.
      if (!zero.program) p.ProgressCaption(SizeText(p, text, out_name, h.size));

      if (!JoinPath(p, out_path, sizeof out_path, out_folder, out_name))
        return kFailed;
      const bool replace = p.Exists(out_path);
      if (replace && !AskReplace(p, out_path, zero.overwrite, out_name))
        return kFailed;
      scope.output = OpenOutput(p, out_path, replace, scope.input, set.folder,
                                set.base, 1);
      if (!scope.output) return kFailed;
      if (!p.Reserve(scope.output, h.size, io)) return kIoFailure;
      if (zero.program) p.ProgressCaption(SizeText(p, text, out_name, c.total));
    }

    p.ProgressLabel(SizeText(p, text, in_name, length));
    const int copied = CopyChunks(p, scope.input, in_path, scope.output,
                                  piece_left, &c, io);
    if (copied != kDone) return copied;
    p.Close(scope.input);
    scope.input = nullptr;
    ++k;
  } while (c.remaining != 0);

  if (!CommitNamed(p, scope.output, out_path, out_name, zero.overwrite, io))
    return kIoFailure;
  Format(text, sizeof text, Text(p.Language(), kMsgJoinDone), out_name);
  FinishAndWait(p, text, !zero.program);
  return kDone;
}

}  // namespace pvx
