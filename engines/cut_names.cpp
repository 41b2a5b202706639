// Naming the pieces of a cut: shared by the cut of a file and the cut of a
// stream.
#include "engines/cut_names.h"

#include "base/text.h"
#include "engines/engine_util.h"
#include "engines/messages.h"
#include "format/piece_format.h"

namespace pvx {

bool HeaderForSource(Platform& p, const char* name, uint64_t size,
                     uint8_t out[kHeaderSize]) {
  char header_name[kPathCap];
  const bool exact = p.ToHeaderName(name, header_name, sizeof header_name);
  if (!exact && !p.ToHeaderStandIn(name, header_name, sizeof header_name)) {
    Tell(p, kMsgNameNotCp932, name);
    return false;
  }
  switch (BuildPieceHeader(out, name, header_name, exact, size)) {
    case HeaderBuild::kOk:
      return true;
    case HeaderBuild::kNameTooLong:
      Tell(p, kMsgPathTooLong, name);
      return false;
    case HeaderBuild::kRecordTooLong:
      break;
  }
  // A name with a code page 932 form needs the record only from 4 GiB on,
  // where FileName and the record's fixed part share the field; the
  // stand-in of any other name shares it with the exact name as well.
  if (exact)
    Tell(p, kMsgNameTooLongForLarge, name, kRecordNameRoom);
  else
    Tell(p, kMsgNameTooLongForRecord, name, RecordNameRoom(header_name));
  return false;
}

bool CutPieceName(char* out, size_t cap, const char* base, int k,
                  bool self_join) {
  if (k == 0 && self_join) return Format(out, cap, "%s.exe", base);
  return PieceName(out, cap, base, k);
}

namespace {

// The i-th name of the set with stem base (pieces first .. count - 1, then
// the companions) into name and path; false past the last one or when a
// name does not fit (*too_long set).
bool SetName(Platform& p, const char* folder, const char* base, int first,
             int count, bool self_join, int i, char* name, char* path,
             bool* too_long) {
  bool ok;
  if (first + i < count) {
    ok = CutPieceName(name, kNameCap, base, first + i, self_join);
  } else {
    const char* suffix = p.Companions();
    for (int c = count - first; c < i && *suffix; ++c)
      suffix += StrLen(suffix) + 1;
    if (!*suffix) return false;
    ok = StrCopy(name, kNameCap, base) && StrAppend(name, kNameCap, suffix);
  }
  *too_long = !ok || !StrCopy(path, kPathCap, folder) ||
              !StrAppend(path, kPathCap, name);
  return !*too_long;
}

}  // namespace

bool DecideCutNames(Platform& p, const char* folder, char* base, size_t cap,
                    int first, int count, bool self_join, bool rename,
                    FileHandle source, AgreedNames* agreed) {
  char name[kNameCap];
  char path[kPathCap];
  bool too_long = false;
  // A taken name in the set of a program: the whole set moves to another
  // stem, so that its pieces never mix with those already there.
  for (int i = 0; rename;) {
    if (!SetName(p, folder, base, first, count, self_join, i, name, path,
                 &too_long))
      break;
    if (!p.Exists(path)) {
      ++i;
      continue;
    }
    if (!Ask(p, kMsgRenameQuestion, name, name)) return false;
    char renamed[kPathCap] = "_";
    if (!StrAppend(renamed, sizeof renamed, base) ||
        !StrCopy(base, cap, renamed)) {
      Tell(p, kMsgPathTooLong, base);
      return false;
    }
    i = 0;
  }
  // Every other taken name is replaced only with the user's consent, and
  // never when it is the source.
  for (int i = 0; !too_long; ++i) {
    if (!SetName(p, folder, base, first, count, self_join, i, name, path,
                 &too_long))
      break;
    if (!p.Exists(path)) continue;
    if (p.IsFileAt(source, path)) {
      Tell(p, kMsgIsInput, path);
      return false;
    }
    if (!AskReplace(p, path, kMsgOverwrite, name)) return false;
    if (first + i < count) agreed->Mark(first + i);
  }
  if (too_long) {
    Tell(p, kMsgPathTooLong, base);
    return false;
  }
  return true;
}

bool HeadForCut(Platform& p, bool self_join, uint32_t piece_size,
                const uint8_t** stub, uint32_t* length) {
  *stub = nullptr;
  *length = 0;
  uint32_t resource_length = 0;
  if (self_join &&
      (!p.StubImage(stub, &resource_length) ||
       (*length = StubImageSize(*stub, resource_length)) == 0 ||
       *length > resource_length)) {
    Tell(p, kMsgFailFindResource);
    return false;
  }
  const uint64_t head = uint64_t{*length} + kHeaderSize;
  if (piece_size < head) {
    Tell(p, kMsgPieceSizeTooSmall, piece_size, static_cast<uint32_t>(head));
    return false;
  }
  return true;
}

bool StorableName(Platform& p, const char* name) {
  if (IsSafeFileName(name)) return true;
  char shown[kNameCap];
  Printable(name, shown, sizeof shown);
  Tell(p, kMsgNameNotStorable, shown);
  return false;
}

bool CutStem(Platform& p, const char* base, bool self_join, char* out,
             size_t cap) {
  if (self_join ? SelfJoinBase(out, cap, base) : StrCopy(out, cap, base))
    return true;
  Tell(p, kMsgPathTooLong, base);
  return false;
}

}  // namespace pvx
