// Rebuilding the source from a self-joining piece 0 (the stub program with
// the header and the first data behind it) and the pieces named after it.
#include "engines/engine_util.h"
#include "engines/engines.h"
#include "base/text.h"

namespace pvx {

int SelfJoin(Platform& p, const char* self_path, uint32_t stub_image_size,
             const char* destination, Failure* io) {
  PathParts own;
  if (!SplitPath(self_path, &own)) {
    Tell(p, kMsgPathTooLong, self_path);
    return kFailed;
  }
  char out_folder[kPathCap];
  const char sep[2] = {kNativeSep, 0};
  if (destination[0] == 0) {
    StrCopy(out_folder, sizeof out_folder, own.folder);
  } else if (!StrCopy(out_folder, sizeof out_folder, destination) ||
             (out_folder[StrLen(out_folder) - 1] != kNativeSep &&
              !StrAppend(out_folder, sizeof out_folder, sep))) {
    Tell(p, kMsgPathTooLong, destination);
    return kFailed;
  }
  CreateFolderChain(p, out_folder);  // which does nothing with an empty one

  EngineScope scope(p);
  if (!scope.ShowProgress()) return kFailed;
  p.ProgressLabel(own.name);

  Counts c = {0, 0, 0};
  char text[kPathCap + 64];
  char piece_name[kPathCap];
  char piece_path[kPathCap];
  char out_name[kPathCap];
  char out_path[kPathCap];
  Failure why;
  int k = 0;
  do {
    uint64_t length = 0;
    uint32_t piece_left = 0;
    // Piece 0 is this program's own file; the others are named after it.
    const char* in_name = own.name;
    const char* in_path = self_path;
    if (k != 0) {
      if (!PieceName(piece_name, sizeof piece_name, own.base, k) ||
          !JoinPath(p, piece_path, sizeof piece_path, own.folder, piece_name))
        return kFailed;
      in_name = piece_name;
      in_path = piece_path;
    }
    scope.input = p.OpenRead(in_path, &why);
    if (!scope.input) {
      if (k == 0)
        Tell(p, kMsgOpenFailed, own.name);
      else
        p.Notify(why.text);
      return kFailed;
    }
    if (k != 0 && p.SameFile(scope.input, scope.output)) {
      Tell(p, kMsgIsOutput, piece_path);
      return kFailed;
    }
    if (!p.Length(scope.input, &length, io)) return kIoFailure;
    if (length > 0xFFFFFFFFu) {
      Tell(p, kMsgTooLarge, in_name);
      return kFailed;
    }
    piece_left = static_cast<uint32_t>(length);
    if (k == 0) {
      PieceHeader h;
      HeaderRead read = HeaderRead::kNotPieceSet;
      if (stub_image_size < length) {
        if (!p.Seek(scope.input, stub_image_size, io)) return kIoFailure;
        read = ReadPieceHeader(p, scope.input, &h, io, true);
      }
      if (read == HeaderRead::kIoError) return kIoFailure;
      if (read == HeaderRead::kNotPieceSet ||
          !HeaderSizeFits(h, length - stub_image_size)) {
        Tell(p, kMsgNotPieceSet, own.name);
        return kFailed;
      }
      if (!OutputNameOf(p, h, own.base, own.name, out_name, sizeof out_name))
        return kFailed;
      // The data starts HeaderSize bytes (284 or more) after the image.
      if (!p.Seek(scope.input, uint64_t{stub_image_size} + h.header_size, io))
        return kIoFailure;
      piece_left -= stub_image_size + h.header_size;
      c.remaining = static_cast<int64_t>(h.size);
      c.done = uint64_t{stub_image_size} + h.header_size;
      c.total = c.done + h.size;

      if (!JoinPath(p, out_path, sizeof out_path, out_folder, out_name))
        return kFailed;
      const bool replace = p.Exists(out_path);
      if (replace && !AskReplace(p, out_path, kMsgOverwriteStub, out_name))
        return kFailed;
      scope.output = OpenOutput(p, out_path, replace, scope.input, own.folder,
                                own.base, 1);
      if (!scope.output) return kFailed;
      if (!p.Reserve(scope.output, h.size, io)) return kIoFailure;
      Format(text, sizeof text, Text(p.Language(), kMsgJoinCaption), out_name,
             static_cast<int>(c.total >> 10));
      p.ProgressCaption(text);
    }

    Format(text, sizeof text, Text(p.Language(), kMsgJoinCaption), in_name,
           static_cast<int>(length >> 10));
    p.ProgressLabel(text);
    const int copied = CopyChunks(p, scope.input, in_path, scope.output,
                                  piece_left, &c, io);
    if (copied != kDone) return copied;
    p.Close(scope.input);
    scope.input = nullptr;
    ++k;
  } while (c.remaining != 0);

  if (!CommitNamed(p, scope.output, out_path, out_name, kMsgOverwriteStub,
                   io))
    return kIoFailure;
  Format(text, sizeof text, Text(p.Language(), kMsgJoinDone), out_name);
  FinishAndWait(p, text, false);
  return kDone;
}

}  // namespace pvx
