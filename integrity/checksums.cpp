#include "integrity/checksums.h"

#include "engines/engine_util.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "format/piece_format.h"
#include "base/path.h"
#include "base/text.h"
#include "integrity/sha256_list.h"

namespace pvx {
namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// "LIST: names none of the pieces of SET": a list made for another set, or
// one whose names do not match the pieces'.
std::string NamesNoPiece(Lang lang, const std::string& list,
                         const SetSurvey& s) {
  return list + Tr(lang, ": names none of the pieces of ") +
         s.set.piece0;
}

}  // namespace

std::string ListPathFor(const std::string& piece0_path) {
  std::string name = NameOf(piece0_path.c_str());
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return FolderOf(piece0_path) + name + kListSuffix;
}

std::string LoadSetList(Lang lang, const SetSurvey& s,
                        const std::string& path, ChecksumList* list) {
  ListError error;
  if (!list->Load(path, &error)) return DescribeListError(error, lang);
  // A list that checks nothing must not pass for a check.
  for (const SurveyPiece& piece : s.pieces)
    if (list->Find(piece.name)) return std::string();
  return NamesNoPiece(lang, path, s);
}

SetList FindSetList(Platform& p, const SetSurvey& s,
                    const std::string& named) {
  SetList list;
  list.path = named.empty() ? ListPathFor(s.set.piece0) : named;
  if (named.empty() && !p.Exists(list.path.c_str())) return list;
  list.found = true;
  list.problem = LoadSetList(p.Language(), s, list.path, &list.entries);
  return list;
}

JoinCheck CheckForJoin(const SetSurvey& s, const SetList& list) {
  JoinCheck check;
  check.list = list.path;
  for (const SurveyPiece& piece : s.pieces) {
    if (const ListEntry* e = list.entries.Find(piece.name))
      check.pieces[piece.path] = e->digest;
    else
      check.uncovered.push_back(piece.path);
  }
  if (const ListEntry* out = list.entries.Find(s.output)) {
    check.has_output = true;
    check.output = out->digest;
  } else if (!s.output.empty()) {
    check.uncovered.push_back(s.output);
  }
  return check;
}

namespace {

// The digest of the file at path as it stands, read through p.
bool ReadBack(Platform& p, const std::string& path, Sha256* d, Failure* why) {
  FileHandle f = p.OpenRead(path.c_str(), why);
  if (!f) return false;
  Digest digest;
  uint8_t* buffer = p.ChunkBuffer();
  uint32_t got = 0;
  bool ok;
  while ((ok = p.Read(f, buffer, p.ChunkSize(), &got, why)) && got != 0)
    digest.Update(buffer, got);
  p.Close(f);
  if (ok) *d = digest.Final();
  return ok;
}

}  // namespace

CutList WriteCutList(HashingPlatform& h, const std::vector<std::string>& pieces,
                     const std::string& source_name,
                     const std::string& source_path, bool replace) {
  CutList out;
  std::vector<HashingPlatform::FileDigest> files;
  if (!h.Digests(&files, &out.why)) return out;
  // What was written, by path; the source is the last file read whole.
  std::map<std::string, Sha256> written;
  const Sha256* source = nullptr;
  for (const auto& f : files) {
    if (f.written) written[f.path] = f.digest;
    else source = &f.digest;
  }
  if (pieces.empty() || source == nullptr) {
    out.outcome = CutList::kNoDigests;
    return out;
  }
  Platform& p = h.Inner();  // nothing from here on is digested in passing
  std::vector<ListEntry> entries;
  for (const std::string& piece : pieces) {
    auto at = written.find(piece);
    Sha256 d;
    if (at != written.end()) d = at->second;
    else if (!ReadBack(p, piece, &d, &out.why)) return out;
    entries.push_back({NameOf(piece.c_str()), d});
  }
  entries.push_back({source_name, *source});
  out.path = ListPathFor(pieces.front());
  const std::string text = FormatList(entries);
  FileHandle from = source_path == "-" ? p.OpenStandardInput(&out.why)
                                       : p.OpenRead(source_path.c_str(), &out.why);
  if (!from) return out;
  FileHandle f = nullptr;
  if (p.IsFileAt(from, out.path.c_str())) {
    out.outcome = CutList::kIsSource;
  } else if ((f = p.OpenWrite(out.path.c_str(), from, replace, &out.why)) &&
             p.Reserve(f, text.size(), &out.why) &&
             p.Write(f, text.data(), static_cast<uint32_t>(text.size()),
                     &out.why) &&
             CommitNamed(p, f, out.path.c_str(), NameOf(out.path.c_str()),
                         kMsgOverwrite, &out.why)) {
    out.outcome = CutList::kWritten;
  }
  p.Close(f);
  p.Close(from);
  return out;
}

}  // namespace pvx
