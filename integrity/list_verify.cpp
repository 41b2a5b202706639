#include "integrity/list_verify.h"

#include "engines/engine_util.h"
#include "integrity/digest.h"

namespace pvx {

SetVerification VerifyAgainstList(
    Platform& p, const SetSurvey& s, const SetList& list,
    const std::function<void(const VerifyLine&)>& on_line) {
  SetVerification out;
  auto line = [&](const std::string& name, VerifyLine::Verdict verdict,
                  const std::string& detail = std::string()) {
    out.lines.push_back({name, verdict, detail});
    if (on_line) on_line(out.lines.back());
  };
  const bool have_list = list.found;
  uint64_t total = 0;
  for (const SurveyPiece& piece : s.pieces)
    if (piece.status == SurveyPiece::kOk || piece.status == SurveyPiece::kShort ||
        piece.status == SurveyPiece::kLong)
      total += piece.length;

  Hasher hasher(4, p.ChunkSize(), 2);
  const Hasher::Stream data = hasher.NewStream();  // the joined bytes
  const uint64_t head = uint64_t{s.image} + s.header.header_size;
  uint64_t done = 0;
  out.data_whole = s.Joinable();
  // Whether the joined bytes' digest took every piece's data: not when a
  // piece could not be read.
  bool joined_read = out.data_whole;
  Failure why;
  for (size_t k = 0; k < s.pieces.size(); ++k) {
    const SurveyPiece& piece = s.pieces[k];
    const ListEntry* entry = have_list ? list.entries.Find(piece.name) : nullptr;
    if (piece.status != SurveyPiece::kOk ||
        (have_list && entry == nullptr && !out.data_whole)) {
      // Not read: it cannot be whole, and there is nothing to compare.
      switch (piece.status) {
        case SurveyPiece::kMissing: line(piece.name, VerifyLine::kMissing); break;
        case SurveyPiece::kUnusable:
          line(piece.name, VerifyLine::kUnusable, piece.why);
          break;
        case SurveyPiece::kShort: line(piece.name, VerifyLine::kShort); break;
        case SurveyPiece::kLong: line(piece.name, VerifyLine::kSurplus); break;
        case SurveyPiece::kOk: line(piece.name, VerifyLine::kNotListed); break;
      }
      ++out.bad;
      continue;
    }
    if (!have_list) {  // the lengths are all there is to check
      line(piece.name, VerifyLine::kOk);
      continue;
    }
    // Read the piece once: its digest, and the data part into the joined
    // bytes' digest.
    p.ProgressLabel(piece.name.c_str());
    FileHandle f = p.OpenRead(piece.path.c_str(), &why);
    if (!f) {
      line(piece.name, VerifyLine::kUnreadable, why.text);
      ++out.bad;
      joined_read = false;
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
      else if (out.data_whole) hasher.Submit(b, got, {own, data});
      else hasher.Submit(b, got, {own});
      pos += got;
      done += got;
      p.ProgressPos(ProgressPosition(done, total));
      if (p.ProgressCheckCancel()) {
        p.Close(f);
        out.cancelled = true;
        return out;
      }
    }
    p.Close(f);
    Sha256 d = hasher.Finish(own);
    if (!ok) {
      line(piece.name, VerifyLine::kUnreadable, why.text);
      ++out.bad;
      joined_read = false;
    } else if (entry == nullptr) {
      line(piece.name, VerifyLine::kNotListed);
    } else if (entry->digest != d) {
      line(piece.name, VerifyLine::kDamaged);
      ++out.bad;
    } else {
      line(piece.name, VerifyLine::kOk);
    }
  }
  for (const SurveyPiece& piece : s.beyond) line(piece.name, VerifyLine::kBeside);
  Sha256 joined = hasher.Finish(data);
  if (have_list && joined_read) {
    if (const ListEntry* e = list.entries.Find(s.output)) {
      out.source_checked = true;
      const bool same = e->digest == joined;
      line(s.output, same ? VerifyLine::kOk : VerifyLine::kDamaged);
      if (!same) ++out.bad;
    }
  }
  return out;
}

}  // namespace pvx
