#include "engines/engine_util.h"

#include <stdarg.h>

#include "base/text.h"
#include "engines/engines.h"

namespace pvx {

namespace {
constexpr size_t kMessageCap = 2 * kPathCap;
}

bool WritePieceHeader(Platform& p, FileHandle f, const char* cp932_name,
                      uint32_t source_size, Failure* why) {
  uint8_t bytes[kHeaderSize];
  if (!BuildPieceHeader(bytes, cp932_name, source_size)) return false;
  return p.Write(f, bytes, kHeaderSize, why);
}

HeaderRead ReadPieceHeader(Platform& p, FileHandle f, PieceHeader* out,
                           Failure* why, bool accept_large) {
  uint8_t bytes[kHeaderSize];
  uint32_t have = 0;
  while (have < kHeaderSize) {
    uint32_t got = 0;
    if (!p.Read(f, bytes + have, kHeaderSize - have, &got, why))
      return HeaderRead::kIoError;
    if (got == 0) return HeaderRead::kNotPieceSet;
    have += got;
  }
  return ParsePieceHeader(bytes, out) &&
                 (accept_large || out->form != HeaderForm::kLarge)
             ? HeaderRead::kOk
             : HeaderRead::kNotPieceSet;
}

void Tell(Platform& p, int id, ...) {
  char text[kMessageCap];
  va_list args;
  va_start(args, id);
  FormatV(text, sizeof text, Text(p.Language(), static_cast<Msg>(id)), args);
  va_end(args);
  p.Notify(text);
}

bool Ask(Platform& p, int id, ...) {
  char text[kMessageCap];
  va_list args;
  va_start(args, id);
  FormatV(text, sizeof text, Text(p.Language(), static_cast<Msg>(id)), args);
  va_end(args);
  return p.Confirm(text);
}

void Blame(Failure* f, Platform& p, int id, ...) {
  if (!f) return;
  va_list args;
  va_start(args, id);
  FormatV(f->text, sizeof f->text, Text(p.Language(), static_cast<Msg>(id)), args);
  va_end(args);
}

void Printable(const char* text, char* out, size_t cap) {
  StrCopy(out, cap, text);
  for (char* c = out; *c; ++c)
    if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) *c = '?';
}

EngineScope::~EngineScope() {
  if (progress_) p_.ProgressDestroy();
  p_.Close(piece);
  p_.Close(input);
  p_.Close(output);
}

bool EngineScope::ShowProgress() {
  progress_ = p_.ProgressCreate();
  if (!progress_) Tell(p_, kMsgNoProgressWindow);
  return progress_;
}

int CopyChunks(Platform& p, FileHandle in, const char* in_path,
               FileHandle out, uint32_t count, Counts* c, Failure* io) {
  const uint32_t chunk = p.ChunkSize();
  uint8_t* buffer = p.ChunkBuffer();
  while (count != 0) {
    uint32_t n = count < chunk ? count : chunk;
    uint32_t got = 0;
    if (!p.Copy(in, out, buffer, n, &got, io)) return kIoFailure;
    if (got == 0) {
      Blame(io, p, kMsgEndedEarly, in_path);
      return kIoFailure;
    }
    count -= got;
    c->remaining -= got;
    c->done += got;
    p.ProgressPos(ProgressPosition(c->done, c->total));
    if (p.ProgressCheckCancel()) return kFailed;
  }
  return kDone;
}

bool OutputNameOf(Platform& p, const PieceHeader& h, const char* prefix,
                  const char* piece, char* out, size_t cap) {
  // The record's exact name (UTF-8) when it carries one, else FileName in
  // the platform's form.
  char converted[kNameCap];
  const char* local = h.exact_name;
  if (!*local) {
    local = converted;
    if (!p.FromHeaderName(h.file_name, converted, sizeof converted)) {
      Tell(p, kMsgBadHeaderName, piece);
      return false;
    }
  }
  out[0] = 0;
  if (!h.name_is_whole) StrCopy(out, cap, prefix);
  if (!StrAppend(out, cap, local)) {
    Tell(p, kMsgPathTooLong, local);
    return false;
  }
  if (!IsSafeFileName(out) || !p.AcceptsName(out)) {
    char shown[kNameCap];
    Printable(out, shown, sizeof shown);
    Tell(p, kMsgUnsafeName, piece, shown);
    return false;
  }
  return true;
}

bool HeaderSizeFits(const PieceHeader& h, uint64_t bytes_from_header) {
  return h.header_size >= kHeaderSize && h.header_size <= bytes_from_header;
}

bool AskReplace(Platform& p, const char* path, int id, const char* name) {
  char text[kMessageCap];
  Format(text, sizeof text, Text(p.Language(), static_cast<Msg>(id)), name);
  return p.ConfirmReplace(path, text);
}

bool IsInput(Platform& p, const char* path, FileHandle first,
             const char* folder, const char* base, int first_k) {
  if (!p.Exists(path)) return false;
  if (p.IsFileAt(first, path)) return true;
  Failure why;
  char name[kNameCap];
  char piece_path[kPathCap];
  // Every piece name a complete set can have, missing ones skipped (a set
  // with a gap must not lose the pieces after it), then any further ones.
  for (int k = first_k;; ++k) {
    if (!PieceName(name, sizeof name, base, k) ||
        !StrCopy(piece_path, sizeof piece_path, folder) ||
        !StrAppend(piece_path, sizeof piece_path, name))
      return false;
    if (!p.Exists(piece_path)) {
      if (k >= p.PieceLimit()) return false;
      continue;
    }
    FileHandle piece = p.OpenRead(piece_path, &why);
    bool same = piece && p.IsFileAt(piece, path);
    p.Close(piece);
    if (same) return true;
  }
}

FileHandle OpenOutput(Platform& p, const char* path, bool replace,
                      FileHandle first, const char* folder, const char* base,
                      int first_k) {
  if (IsInput(p, path, first, folder, base, first_k)) {
    Tell(p, kMsgIsInput, path);
    return nullptr;
  }
  Failure why;
  FileHandle out = p.OpenWrite(path, first, replace, &why);
  if (!out) {
    p.Notify(why.text);
    return nullptr;
  }
  // A name that changed between the check and the open.
  if (p.SameFile(out, first)) {
    p.Close(out);
    Tell(p, kMsgIsInput, path);
    return nullptr;
  }
  if (!p.Truncate(out, &why)) {
    p.Close(out);
    p.Notify(why.text);
    return nullptr;
  }
  return out;
}

bool CreateFolderChain(Platform& p, const char* path, char sep) {
  char buf[kPathCap];
  if (!StrCopy(buf, sizeof buf, path) || buf[0] == 0) return false;
  // Each prefix that ends before a separator or at the end, in turn.
  for (size_t i = 0;; ++i) {
    const char c = buf[i];
    if (c != sep && c != 0) continue;
    buf[i] = 0;
    // An empty prefix is the root of an absolute path (or a doubled
    // separator): there is nothing to create there.
    if (buf[0] != 0 && !(i > 0 && buf[i - 1] == sep) && !p.IsFolder(buf) &&
        !p.MakeFolder(buf) && !p.IsFolder(buf))
      return false;
    buf[i] = c;
    if (c == 0 || buf[i + 1] == 0) return true;
  }
}

int ProgressPosition(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  // Both counts stay far below 2^53 (a set holds at most 10,000 pieces
  // below 4 GiB each), so they convert exactly, and as signed values they
  // convert without the fix-up an unsigned 64-bit conversion costs on i386.
  double pos = static_cast<double>(static_cast<int64_t>(done)) /
               static_cast<double>(static_cast<int64_t>(total)) * 65535.0;
  if (pos >= 2147483647.0) return 2147483647;
  return static_cast<int>(pos);
}

bool CommitNamed(Platform& p, FileHandle f, const char* path,
                 const char* name, int id, Failure* io) {
  bool taken = false;
  if (p.Commit(f, false, &taken, io)) return true;
  // *io already says that the name is taken, for a Cancel.
  return taken && AskReplace(p, path, id, name) &&
         p.Commit(f, true, &taken, io);
}

void FinishAndWait(Platform& p, const char* text, bool button_first) {
  p.ProgressFinish(text, button_first);
  while (!p.ProgressCheckCancel()) {
  }
}

bool JoinPath(Platform& p, char* out, size_t cap, const char* folder,
              const char* name) {
  if (StrCopy(out, cap, folder) && StrAppend(out, cap, name)) return true;
  Tell(p, kMsgPathTooLong, name);
  return false;
}

}  // namespace pvx
