#include "cli/lists.h"

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "base/path.h"
#include "base/text.h"
#include "engines/engine_util.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "format/piece_format.h"
#include "integrity/sha256_list.h"

namespace pvx {
namespace {

void Say2(CliPlatform& p, const std::string& text) { p.Notify(text.c_str()); }

void NotifyText(CliPlatform& p, Msg id, const char* arg) {
  char text[2 * kPathCap];
  Format(text, sizeof text, Text(p.Language(), id), arg);
  p.Notify(text);
}

}  // namespace

int WriteCutList(CliPlatform& p, const std::string& source_name,
                 const std::string& source_path, const StreamDigests* stream) {
  Lang lang = p.Language();
  std::vector<HashingPlatform::FileDigest> files;
  Failure why;
  if (!p.Digests(&files, &why)) {
    Say2(p, why.text);
    return 1;
  }
  std::vector<ListEntry> entries;
  const Sha256* source = nullptr;
  std::string piece0;
  if (stream) {
    piece0 = stream->piece0;
    entries.push_back({NameOf(piece0.c_str()), stream->piece0_digest});
    source = &stream->source;
  }
  for (const auto& f : files) {
    if (f.written) {
      if (f.path == piece0) continue;
      if (piece0.empty()) piece0 = f.path;
      entries.push_back({NameOf(f.path.c_str()), f.digest});
    } else if (!stream) {
      source = &f.digest;
    }
  }
  if (piece0.empty() || source == nullptr) {
    Say2(p,
         Tr(lang, "parvex: no digests were taken; no checksum list written"));
    return 1;
  }
  entries.push_back({source_name, *source});
  const std::string list = ListPathFor(piece0);
  const std::string text = FormatList(entries);
  // The rules of every other file a cut writes: never over the source,
  // through NAME.part renamed at the end, with the source's permissions.
  FileHandle from = nullptr;
  if (!source_path.empty()) {
    from = source_path == "-"
               ? p.OpenStandardInput(&why)
               : p.PosixPlatform::OpenRead(source_path.c_str(), &why);
    if (!from) {
      Say2(p, why.text);
      return 1;
    }
  }
  int status = 1;
  FileHandle f = nullptr;
  if (p.IsFileAt(from, list.c_str())) {
    NotifyText(p, kMsgIsInput, list.c_str());
  } else if ((f = p.OpenWrite(list.c_str(), from,
                              p.Agreed(list.c_str()), &why)) == nullptr ||
             !p.Reserve(f, text.size(), &why) ||
             !p.Write(f, text.data(), static_cast<uint32_t>(text.size()),
                      &why) ||
             !CommitNamed(p, f, list.c_str(), NameOf(list.c_str()), kMsgOverwrite,
                          &why)) {
    Say2(p, why.text);
  } else {
    status = 0;
  }
  p.Close(f);
  p.Close(from);
  return status;
}

bool PrepareCheck(CliPlatform& p, const SetSurvey& s, const std::string& named,
                  JoinCheck* check, bool* failed) {
  *failed = false;
  Lang lang = p.Language();
  std::string list = named.empty() ? ListPathFor(s.set.piece0) : named;
  struct stat st;
  if (named.empty() && lstat(list.c_str(), &st) != 0) return false;
  ChecksumList entries;
  std::string problem = LoadSetList(lang, s, list, &entries);
  if (!problem.empty()) {
    Say2(p, "parvex: " + problem + Tr(lang, "; nothing was written"));
    *failed = true;
    return false;
  }
  check->list = list;
  std::vector<std::string> uncovered;
  for (const SurveyPiece& piece : s.pieces) {
    const ListEntry* e = entries.Find(piece.name);
    if (e)
      check->pieces[piece.path] = e->digest;
    else
      uncovered.push_back(piece.path);
  }
  for (const std::string& path : uncovered)
    Say2(p, "parvex: " + path + Tr(lang, ": not covered by ") + list);
  const ListEntry* out = entries.Find(s.output);
  if (out) {
    check->has_output = true;
    check->output = out->digest;
  } else if (!s.output.empty()) {
    Say2(p, "parvex: " + s.output + Tr(lang, ": not covered by ") + list);
  }
  return true;
}

int VerifySet(CliPlatform& p, const std::string& file,
              const std::string& named_list, bool quiet) {
  Lang lang = p.Language();
  SetSurvey s;
  Failure why;
  if (!SurveySet(p, file.c_str(), &s, &why)) {
    Say2(p, why.text);
    return 1;
  }
  if (!s.HeaderSound()) {
    Say2(p, s.problem);
    return 1;
  }
  // The list, if there is one.
  std::string list_path = named_list.empty() ? ListPathFor(s.set.piece0)
                                             : named_list;
  ChecksumList list;
  bool have_list = false;
  struct stat st;
  if (!named_list.empty() || lstat(list_path.c_str(), &st) == 0) {
    std::string problem = LoadSetList(lang, s, list_path, &list);
    if (!problem.empty()) {
      Say2(p, "parvex: " + problem + Tr(lang, "; nothing was checked"));
      return 1;
    }
    have_list = true;
  }

  uint64_t total = 0;
  for (const SurveyPiece& piece : s.pieces)
    if (piece.status == SurveyPiece::kOk || piece.status == SurveyPiece::kShort ||
        piece.status == SurveyPiece::kLong)
      total += piece.length;
  if (!quiet) {
    p.ProgressCreate();
    std::string caption = Tr(lang, "verify ") + s.set.piece0;
    p.ProgressCaption(caption.c_str());
  }

  Hasher hasher(4, p.ChunkSize(), 2);
  const Hasher::Stream data = hasher.NewStream();  // the joined bytes
  const uint64_t head = uint64_t{s.image} + s.header.header_size;
  uint64_t done = 0;
  int bad = 0;
  bool data_whole = s.Joinable();
  auto line = [&](const std::string& name, const char* verdict) {
    PrintSafe("  %-24s %s\n", name.c_str(), verdict);
  };
  for (size_t k = 0; k < s.pieces.size(); ++k) {
    const SurveyPiece& piece = s.pieces[k];
    const char* verdict = nullptr;
    switch (piece.status) {
      case SurveyPiece::kMissing:
        verdict = Tr(lang, "missing");
        break;
      case SurveyPiece::kUnusable: verdict = piece.why.c_str(); break;
      case SurveyPiece::kShort:
        verdict = Tr(lang, "short");
        break;
      case SurveyPiece::kLong:
        verdict = Tr(lang, "surplus");
        break;
      case SurveyPiece::kOk: break;
    }
    const ListEntry* entry = have_list ? list.Find(piece.name) : nullptr;
    if (verdict != nullptr || (have_list && entry == nullptr && !data_whole)) {
      // Not read: it cannot be whole, and there is nothing to compare.
      if (verdict == nullptr) verdict = Tr(lang, "not listed");
      line(piece.name, verdict);
      ++bad;
      continue;
    }
    if (!have_list) {  // the lengths are all there is to check
      line(piece.name, "ok");
      continue;
    }
    // Read the piece once: its digest, and the data part into the joined
    // bytes' digest.
    std::string label = piece.name;
    p.ProgressLabel(label.c_str());
    FileHandle f = p.OpenRead(piece.path.c_str(), &why);
    if (!f) {
      line(piece.name, why.text);
      ++bad;
      continue;
    }
    const Hasher::Stream own = hasher.NewStream();
    uint64_t pos = 0;
    bool ok = true;
    for (;;) {
      Hasher::Buffer* b = hasher.Acquire();
      uint32_t want = static_cast<uint32_t>(b->size);
      if (k == 0 && pos < head && head - pos < want)
        want = static_cast<uint32_t>(head - pos);
      uint32_t got = 0;
      if (!p.Read(f, b->data, want, &got, &why)) {
        hasher.Release(b);
        ok = false;
        break;
      }
      if (got == 0) {
        hasher.Release(b);
        break;
      }
      if (k == 0 && pos < head) hasher.Submit(b, got, {own});
      else if (data_whole) hasher.Submit(b, got, {own, data});
      else hasher.Submit(b, got, {own});
      pos += got;
      done += got;
      p.ProgressPos(ProgressPosition(done, total));
      if (p.ProgressCheckCancel()) {
        p.Close(f);
        p.ProgressDestroy();
        return 130;
      }
    }
    p.Close(f);
    Sha256 d = hasher.Finish(own);
    if (!ok) {
      line(piece.name, why.text);
      ++bad;
    } else if (!have_list) {
      line(piece.name, "ok");
    } else if (entry == nullptr) {
      line(piece.name, Tr(lang, "not listed"));
    } else if (entry->digest != d) {
      line(piece.name, Tr(lang, "damaged"));
      ++bad;
    } else {
      line(piece.name, "ok");
    }
  }
  for (const SurveyPiece& piece : s.beyond)
    line(piece.name, Tr(lang, "surplus (beside the set, not part of it)"));
  Sha256 joined = hasher.Finish(data);
  bool source_checked = false;
  if (have_list && data_whole) {
    const ListEntry* e = list.Find(s.output);
    if (e) {
      source_checked = true;
      bool same = e->digest == joined;
      line(s.output, same ? "ok" : Tr(lang, "damaged"));
      if (!same) ++bad;
    }
  }
  if (!quiet) p.ProgressDestroy();

  const size_t n = s.pieces.size();
  if (!have_list) {
    PrintSafe(Tr(lang,
                 "%s: no checksum list found (%s); the header and the lengths "
                 "%s\n"),
              NameOf(s.set.piece0.c_str()), list_path.c_str(),
              bad == 0 && data_whole ? Tr(lang, "are sound.")
                                     : Tr(lang, "do not add up."));
  } else if (bad == 0 && data_whole) {
    PrintSafe(TrN(lang, "verified: %zu piece%s match %s\n",
                  "verified: %zu pieces%s match %s\n", n),
              n, source_checked ? Tr(lang, " and the joined file") : "",
              list_path.c_str());
  } else {
    PrintSafe(Tr(lang, "FAILED: %d of the checks above failed; see %s\n"),
              bad == 0 ? 1 : bad, list_path.c_str());
  }
  return bad == 0 && data_whole ? 0 : 1;
}

}  // namespace pvx
