// Joining a plain piece set (base.c00, base.c01, ...) back into its source.
#include "engines/engine_util.h"
#include "engines/engines.h"
#include "base/text.h"

namespace pvx {

int JoinFile(Platform& p, const char* path, const char* destination,
             bool pause, Failure* io) {
  PathParts parts;
  if (!SplitPath(path, &parts)) {
    Tell(p, kMsgPathTooLong, path);
    return kFailed;
  }
  const char* out_folder = destination[0] ? destination : parts.folder;
  if (out_folder[0]) CreateFolderChain(p, out_folder);

  EngineScope scope(p);
  if (!scope.ShowProgress()) return kFailed;

  Counts c = {0, 0, 0};
  char text[kPathCap + 64];
  char piece_name[kPathCap];
  char piece_path[kPathCap];
  char out_name[kPathCap];
  char out_path[kPathCap];
  Failure why;
  int k = 0;
  do {
    if (pause) {
      Format(text, sizeof text, Text(p.Language(), kMsgInsertDisk), k + 1);
      if (!p.AwaitDisk(text)) return kFailed;
    }
    if (!PieceName(piece_name, sizeof piece_name, parts.base, k) ||
        !JoinPath(p, piece_path, sizeof piece_path, parts.folder, piece_name))
      return kFailed;
    // A piece that appeared at the output's name after the output was
    // opened. Asked by name before the open, which an output held for
    // writing can make fail (Windows sharing), and on the open file after it.
    if (scope.output && p.IsFileAt(scope.output, piece_path)) {
      Tell(p, kMsgIsOutput, piece_path);
      return kFailed;
    }
    scope.input = p.OpenRead(piece_path, &why);
    if (!scope.input) {
      p.Notify(why.text);
      return kFailed;
    }
    if (scope.output && p.SameFile(scope.input, scope.output)) {
      Tell(p, kMsgIsOutput, piece_path);
      return kFailed;
    }
    uint64_t length = 0;
    if (!p.Length(scope.input, &length, io)) return kIoFailure;
    if (length > 0xFFFFFFFFu) {
      Tell(p, kMsgTooLarge, piece_name);
      return kFailed;
    }
    uint32_t piece_left = static_cast<uint32_t>(length);

    if (k == 0) {
      PieceHeader h;
      switch (ReadPieceHeader(p, scope.input, &h, io, true)) {
        case HeaderRead::kOk:
          break;
        case HeaderRead::kNotPieceSet:
          Tell(p, kMsgNotPieceSet, piece_name);
          return kFailed;
        case HeaderRead::kIoError:
          return kIoFailure;
      }
      if (!HeaderSizeFits(h, length)) {
        Tell(p, kMsgNotPieceSet, piece_name);
        return kFailed;
      }
      if (!OutputNameOf(p, h, parts.base, piece_name, out_name,
                        sizeof out_name))
        return kFailed;
      // A longer header than ours: its data starts where it says.
      if (h.header_size != kHeaderSize &&
          !p.Seek(scope.input, h.header_size, io))
        return kIoFailure;
      Format(text, sizeof text, Text(p.Language(), kMsgJoinCaption), out_name,
             static_cast<int>(h.size >> 10));
      p.ProgressCaption(text);
      piece_left -= h.header_size;
      c.remaining = static_cast<int64_t>(h.size);
      c.done = h.header_size;
      c.total = h.size + h.header_size;

      if (!JoinPath(p, out_path, sizeof out_path, out_folder, out_name))
        return kFailed;
      const bool replace = p.Exists(out_path);
      if (replace && !AskReplace(p, out_path, kMsgOverwrite, out_name))
        return kFailed;
      scope.output = OpenOutput(p, out_path, replace, scope.input,
                                parts.folder, parts.base, 1);
      if (!scope.output) return kFailed;
      if (!p.Reserve(scope.output, h.size, io)) return kIoFailure;
    }

    Format(text, sizeof text, Text(p.Language(), kMsgJoinCaption), piece_name,
           static_cast<int>(length >> 10));
    p.ProgressLabel(text);
    const int copied = CopyChunks(p, scope.input, piece_path, scope.output,
                                  piece_left, &c, io);
    if (copied != kDone) return copied;
    p.Close(scope.input);
    scope.input = nullptr;
    ++k;
  } while (c.remaining != 0);

  if (!CommitNamed(p, scope.output, out_path, out_name, kMsgOverwrite, io))
    return kIoFailure;
  Format(text, sizeof text, Text(p.Language(), kMsgJoinDone), out_name);
  FinishAndWait(p, text, true);
  return kDone;
}

}  // namespace pvx
