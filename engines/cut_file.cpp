// Cutting one file into a piece set.
#include "engines/cut_names.h"
#include "engines/engine_util.h"
#include "engines/engines.h"
#include "base/text.h"

namespace pvx {

int CutFile(Platform& p, uint32_t piece_size, const char* source,
            const char* destination, bool self_join, bool pause, Failure* io,
            const char* record_name) {
  PathParts parts;
  if (!SplitPath(source, &parts)) {
    Tell(p, kMsgPathTooLong, source);
    return kFailed;
  }
  if (record_name) {
    // The set is named after record_name, in the source's folder unless a
    // destination is given: a plain name, checked as the source's would be.
    PathParts named;
    if (!StorableName(p, record_name)) return kFailed;
    if (!SplitPath(record_name, &named)) {
      Tell(p, kMsgPathTooLong, record_name);
      return kFailed;
    }
    StrCopy(parts.name, sizeof parts.name, named.name);
    StrCopy(parts.base, sizeof parts.base, named.base);
    StrCopy(parts.ext, sizeof parts.ext, named.ext);
  }
  EngineScope scope(p);
  Failure why;
  scope.input = p.OpenSource(source, &why);
  if (!scope.input) {
    p.Notify(why.text);
    return kFailed;
  }
  // A source of 4 GiB or more gets the "@PARVEX+" header (HeaderForSource);
  // its pieces stay below 4 GiB, as piece_size is.
  uint64_t size = 0;
  if (!p.Length(scope.input, &size, &why)) {
    p.Notify(why.text);
    return kFailed;
  }
  char kb[32];
  KilobyteText(size, kb, sizeof kb);
  if (size <= piece_size) {
    Tell(p, kMsgNoNeedToSplit, parts.name, kb);
    return kFailed;
  }

  // Everything that can refuse the cut is checked before the first folder
  // or piece is made.
  const uint8_t* stub = nullptr;
  uint32_t stub_length = 0;
  if (!HeadForCut(p, self_join, piece_size, &stub, &stub_length))
    return kFailed;
  const uint64_t head = static_cast<uint64_t>(stub_length) + kHeaderSize;
  if (!StorableName(p, parts.name)) return kFailed;
  uint8_t header[kHeaderSize];
  if (!HeaderForSource(p, parts.name, size, header)) return kFailed;

  const char* folder = destination[0] ? destination : parts.folder;
  // How many pieces the set has (one more than this program cuts stands
  // for all the rest: the cut stops there).
  const int limit = p.PieceLimit();
  const uint64_t planned = (size + head + piece_size - 1) / piece_size;
  const int count = planned > static_cast<uint64_t>(limit)
                        ? limit + 1
                        : static_cast<int>(planned);
  const bool rename = self_join && StrCompareNoCase(parts.ext, ".exe") == 0;
  char base[kPathCap];
  if (!CutStem(p, parts.base, self_join, base, sizeof base)) return kFailed;
  // Every name of the set is decided before anything is made. With a
  // pause per disk only the first disk is there to look at: its names are
  // decided after it is asked for, each later piece's when its disk is in.
  AgreedNames agreed;
  if (!pause && !DecideCutNames(p, folder, base, sizeof base, 0, count,
                                self_join, rename, scope.input, &agreed))
    return kFailed;
  if (folder[0]) CreateFolderChain(p, folder);

  Counts c = {static_cast<int64_t>(size), 0, size};
  if (!scope.ShowProgress()) return kFailed;
  char text[kPathCap + 64];
  Format(text, sizeof text, Text(p.Language(), kMsgSizeCaption), parts.name,
         kb);
  p.ProgressCaption(text);
  p.ProgressLabel(parts.name);

  char name[kPathCap];
  char path[kPathCap];
  int k = 0;
  while (c.remaining != 0) {
    if (pause) {
      Format(text, sizeof text, Text(p.Language(), kMsgInsertDisk), k + 1);
      if (!p.AwaitDisk(text)) return kFailed;
      if (k == 0 && !DecideCutNames(p, folder, base, sizeof base, 0, 1,
                                    self_join, rename, scope.input, &agreed))
        return kFailed;
    }
    if (!CutPieceName(name, sizeof name, base, k, self_join) ||
        !JoinPath(p, path, sizeof path, folder, name))
      return kFailed;
    // Taken names were agreed to above, except those of a later disk, whose
    // question comes now (the stem stays: the set keeps one name). One that
    // appeared since is asked about when the piece takes its name: only an
    // agreed one is replaced unasked.
    const bool taken = p.Exists(path);
    if (taken && pause && k > 0 && !p.IsFileAt(scope.input, path)) {
      if (!AskReplace(p, path, kMsgOverwrite, name)) return kFailed;
      agreed.Mark(k);
    }

    // Without deny-write sharing the source could be named as a piece; it
    // must never be emptied. Decided before the piece is opened, and again
    // on the open file in case the name changed meanwhile.
    if (taken && p.IsFileAt(scope.input, path)) {
      Tell(p, kMsgIsInput, path);
      return kFailed;
    }
    scope.piece = p.OpenWrite(path, scope.input, agreed.Has(k), &why);
    if (!scope.piece) {
      p.Notify(why.text);
      return kFailed;
    }
    if (p.SameFile(scope.piece, scope.input)) {
      Tell(p, kMsgIsInput, path);
      return kFailed;
    }
    if (!p.Truncate(scope.piece, &why)) {
      p.Notify(why.text);
      return kFailed;
    }

    uint32_t to_write = piece_size < c.remaining
                            ? piece_size
                            : static_cast<uint32_t>(c.remaining);
    if (!p.Reserve(scope.piece, to_write, io)) return kIoFailure;
    KilobyteText(to_write, kb, sizeof kb);
    Format(text, sizeof text, Text(p.Language(), kMsgSizeCaption), name, kb);
    p.ProgressLabel(text);

    if (k == 0) {
      if (self_join && !p.Write(scope.piece, stub, stub_length, io))
        return kIoFailure;
      if (!p.Write(scope.piece, header, kHeaderSize, io))
        return kIoFailure;
      to_write -= static_cast<uint32_t>(head);
      c.done += head;
      c.total += head;
    }
    const int copied =
        CopyChunks(p, scope.input, source, scope.piece, to_write, &c, io);
    if (copied != kDone) return copied;
    if (!CommitNamed(p, scope.piece, path, name, kMsgOverwrite, io))
      return kIoFailure;
    ++k;
    if (k > limit) {
      // Parvex.exe's own words for its limit of 100.
      if (limit == 100)
        Tell(p, kMsgTooManyPieces);
      else
        Tell(p, kMsgTooManyPiecesOf, limit);
      return kFailed;
    }
    p.Close(scope.piece);
    scope.piece = nullptr;
  }

  Format(text, sizeof text, Text(p.Language(), kMsgCutDone), parts.name, k);
  FinishAndWait(p, text, true);
  return kDone;
}

}  // namespace pvx
