#include "integrity/par2_repair.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "integrity/gf16.h"
#include "integrity/par2_io.h"

namespace pvx::par2 {

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  return strcasecmp(s.c_str() + s.size() - tail.size(), tail.c_str()) == 0;
}

// "base.vol3+4.par2" and "base.par2" -> "base".
std::string SetStem(const std::string& name) {
  std::string stem = name;
  if (EndsWithNoCase(stem, ".par2")) stem.resize(stem.size() - 5);
  size_t dot = stem.rfind('.');
  if (dot != std::string::npos && stem.size() > dot + 4 &&
      strncasecmp(stem.c_str() + dot, ".vol", 4) == 0) {
    const std::string tail = stem.substr(dot + 4);
    if (!tail.empty() &&
        tail.find_first_not_of("0123456789+-") == std::string::npos)
      stem.resize(dot);
  }
  return stem;
}

// A name we may open and write beside the set: no folders, no tricks.
bool SafeName(const std::string& n) {
  return !n.empty() && n != "." && n != ".." &&
         n.find('/') == std::string::npos && n.find('\0') == std::string::npos;
}

std::string IdText(const Md5& id) { return ToHex(id); }

// Runs fn(i) for i in [0, count) on up to `threads` threads while the
// calling thread reports progress and watches for cancellation. False when
// cancelled.
bool Parallel(size_t count, unsigned threads, const std::function<void(size_t)>& fn,
              const std::atomic<uint64_t>& done, uint64_t total,
              const Progress& progress, std::atomic<bool>& stop) {
  if (progress.cancelled && progress.cancelled()) return false;
  std::atomic<size_t> next{0};
  std::mutex mu;
  std::condition_variable cv;
  unsigned n = std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(std::max<size_t>(count, 1))));
  unsigned running = n;
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < n; ++t)
    pool.emplace_back([&] {
      for (size_t i; !stop && (i = next++) < count;) fn(i);
      std::lock_guard<std::mutex> lock(mu);
      --running;
      cv.notify_all();
    });
  bool cancelled = false;
  {
    std::unique_lock<std::mutex> lock(mu);
    while (running) {
      cv.wait_for(lock, std::chrono::milliseconds(100));
      lock.unlock();
      if (progress.report) progress.report(done, total);
      if (progress.cancelled && progress.cancelled()) {
        cancelled = true;
        stop = true;
      }
      lock.lock();
    }
  }
  for (auto& t : pool) t.join();
  return !cancelled;
}

}  // namespace

const char* PieceStateName(PieceState s) {
  switch (s) {
    case PieceState::kGood: return "good";
    case PieceState::kMissing: return "missing";
    case PieceState::kShort: return "short";
    case PieceState::kDamaged: return "damaged";
    case PieceState::kNotAFile: return "unreadable";
  }
  return "?";
}

// ---- loading ---------------------------------------------------------------

std::vector<std::string> SetFilesBeside(const std::string& par2_path) {
  const std::string folder = DirName(par2_path);
  const std::string stem = SetStem(BaseName(par2_path));
  std::vector<std::string> found;
  for (const std::string& n : FolderNames(folder)) {
    if (n == BaseName(par2_path) || !EndsWithNoCase(n, ".par2")) continue;
    if (SetStem(n) == stem) found.push_back(JoinPath(folder, n));
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool LoadRecoverySet(const std::string& par2_path, RecoverySet* set,
                     std::string* error, const Progress& progress) {
  *set = RecoverySet();
  set->folder = DirName(par2_path);
  std::vector<std::string> paths{par2_path};
  const std::vector<std::string> more = SetFilesBeside(par2_path);
  paths.insert(paths.end(), more.begin(), more.end());

  std::vector<FileContents> contents;
  for (size_t i = 0; i < paths.size(); ++i) {
    InputFile f;
    std::string why;
    OpenResult got = OpenInput(paths[i], &f, &why);
    if (got != OpenResult::kOk) {
      if (i == 0) {
        *error = got == OpenResult::kMissing ? paths[i] + ": not there" : why;
        return false;
      }
      set->notes.push_back(got == OpenResult::kMissing ? paths[i] + ": gone" : why);
      contents.emplace_back();
      continue;
    }
    FileSource src(f.fd.get(), f.size, f.path);
    FileContents c;
    if (!ReadPackets(src, &c, &why, progress.cancelled)) {
      if (why == "cancelled" || i == 0) {
        *error = why;
        return false;
      }
      set->notes.push_back(why);
    }
    if (c.skipped)
      set->notes.push_back(paths[i] + ": " + std::to_string(c.skipped) +
                           " damaged packet(s) skipped");
    contents.push_back(std::move(c));
    set->par2_files.push_back(paths[i]);
  }

  // The set: that of the first Main packet, the named file's first.
  const MainPacket* main = nullptr;
  for (const FileContents& c : contents)
    for (const auto& m : c.mains)
      if (!main) {
        set->set_id = m.first;
        main = &m.second;
      }
  if (!main) {
    *error = par2_path + ": no readable Main packet in the PAR2 files of this set";
    return false;
  }
  set->slice_size = main->slice_size;
  std::map<Md5, FileDescPacket> descs;
  std::map<Md5, IfscPacket> ifscs;
  std::map<uint32_t, RecoverySlice> recovery;
  for (size_t i = 0; i < contents.size(); ++i) {
    const FileContents& c = contents[i];
    for (const auto& d : c.descs)
      if (d.first == set->set_id) descs.emplace(d.second.file_id, d.second);
    for (const auto& s : c.ifscs)
      if (s.first == set->set_id) ifscs.emplace(s.second.file_id, s.second);
    for (const auto& cr : c.creators)
      if (cr.first == set->set_id && set->creator.empty()) set->creator = cr.second;
    for (const auto& r : c.recovery) {
      if (r.first != set->set_id) continue;
      if (r.second.data_length != set->slice_size || r.second.exponent >= 65535) {
        set->notes.push_back(paths[i] + ": a recovery slice of the wrong size left out");
        continue;
      }
      recovery.emplace(r.second.exponent,
                       RecoverySlice{r.second.exponent, paths[i], r.second.data_offset});
    }
  }
  uint64_t slices = 0;
  std::set<std::string> names;
  for (const Md5& id : main->files) {
    auto d = descs.find(id);
    if (d == descs.end()) {
      *error = par2_path + ": the PAR2 files lack the description of file " + IdText(id);
      return false;
    }
    SetFile f;
    f.id = id;
    f.name = d->second.name;
    f.length = d->second.length;
    f.md5 = d->second.md5;
    f.md5_16k = d->second.md5_16k;
    if (!SafeName(f.name)) {
      *error = par2_path + ": the set names a file we will not use: \"" + f.name + "\"";
      return false;
    }
    if (!names.insert(f.name).second) {
      *error = par2_path + ": the set names \"" + f.name + "\" twice";
      return false;
    }
    f.slice_count = (f.length + set->slice_size - 1) / set->slice_size;
    f.first_slice = slices;
    slices += f.slice_count;
    if (slices > kMaxInputSlices) {
      *error = par2_path + ": the set has more slices than the PAR 2.0 format allows";
      return false;
    }
    auto s = ifscs.find(id);
    if (s != ifscs.end() && s->second.slices.size() == f.slice_count)
      f.slices = s->second.slices;
    else if (f.slice_count)
      set->notes.push_back(par2_path + ": no slice checksums for " + f.name +
                           " (it is checked as a whole)");
    set->files.push_back(std::move(f));
  }
  for (auto& r : recovery) set->recovery.push_back(r.second);
  return true;
}

// ---- checking the pieces -------------------------------------------------------

namespace {

void ScanPiece(const RecoverySet& set, const SetFile& f, PieceReport* r,
               std::atomic<uint64_t>& done, std::atomic<bool>& stop) {
  r->name = f.name;
  r->path = JoinPath(set.folder, f.name);
  r->expected = f.length;
  r->slices = f.slice_count;
  r->slice_good.assign(f.slice_count, 0);
  InputFile in;
  std::string why;
  OpenResult got = OpenInput(r->path, &in, &why);
  if (got == OpenResult::kMissing) {
    r->state = PieceState::kMissing;
    done += f.length;
    return;
  }
  if (got == OpenResult::kError) {
    r->state = PieceState::kNotAFile;
    r->detail = why;
    done += f.length;
    return;
  }
  r->size = in.size;
  const uint64_t S = set.slice_size;
  const uint64_t span = std::min(in.size, f.length);  // what the slices see
  const bool have_checks = !f.slices.empty();
  Md5Hasher prefix;  // bytes [0, span)
  std::optional<Md5Hasher> slice_md5;
  uint32_t crc = 0;
  uint64_t k = 0, in_slice = 0;
  auto finish_slice = [&](Md5Hasher& h) {
    const uint64_t pad = S - in_slice;
    h.UpdateZeros(pad);
    SliceCheck c{h.Final(), Crc32Zeros(crc, pad)};
    if (have_checks && c == f.slices[k]) {
      r->slice_good[k] = 1;
      ++r->good_slices;
    }
  };
  const bool one_slice = f.slice_count == 1;
  std::vector<uint8_t> buf(1 << 20);
  bool read_ok = true;
  for (uint64_t off = 0; off < span && !stop;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), span - off));
    if (!one_slice) n = static_cast<size_t>(std::min<uint64_t>(n, S - in_slice));
    if (!ReadAt(in.fd.get(), off, buf.data(), n, r->path, &why)) {
      read_ok = false;
      break;
    }
    prefix.Update(buf.data(), n);
    if (have_checks) {
      crc = Crc32(crc, buf.data(), n);
      if (!one_slice) {
        if (!slice_md5) slice_md5.emplace();
        slice_md5->Update(buf.data(), n);
      }
    }
    in_slice += n;
    off += n;
    done += n;
    const uint64_t slice_len = std::min(S, f.length - k * S);
    if (!one_slice && have_checks && in_slice == slice_len) {
      finish_slice(*slice_md5);
      slice_md5.reset();
      crc = 0;
      in_slice = 0;
      ++k;
    } else if (!one_slice && in_slice == slice_len) {
      in_slice = 0;
      ++k;
    }
  }
  done += f.length - std::min(span, f.length);
  if (!read_ok) {
    r->state = PieceState::kNotAFile;
    r->detail = why;
    return;
  }
  if (one_slice && have_checks && span == f.length) {
    Md5Hasher h(prefix);
    finish_slice(h);
  }
  const bool whole = in.size == f.length && prefix.Final() == f.md5;
  if (whole) {
    r->state = PieceState::kGood;
    r->slice_good.assign(f.slice_count, 1);
    r->good_slices = f.slice_count;
  } else {
    r->state = in.size < f.length ? PieceState::kShort : PieceState::kDamaged;
  }
}

}  // namespace

VerifyReport VerifySet(const std::string& par2_path, const VerifyOptions& o) {
  VerifyReport v;
  try {
    if (!LoadRecoverySet(par2_path, &v.set, &v.error, o.progress)) return v;
    uint64_t total = 0;
    for (const SetFile& f : v.set.files) total += f.length;
    v.pieces.resize(v.set.files.size());
    std::atomic<uint64_t> done{0};
    std::atomic<bool> stop{false};
    std::mutex mu;
    std::string failure;
    auto scan = [&](size_t i) {
      try {
        ScanPiece(v.set, v.set.files[i], &v.pieces[i], done, stop);
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(mu);
        failure = v.set.files[i].name + ": " + e.what();
        stop = true;
      }
    };
    if (!Parallel(v.set.files.size(), o.threads, scan, done, total, o.progress, stop)) {
      v.error = "cancelled";
      return v;
    }
    if (!failure.empty()) {
      v.error = failure;
      return v;
    }
    if (o.progress.report) o.progress.report(total, total);
    v.all_good = true;
    for (const PieceReport& p : v.pieces) {
      v.bad_slices += p.slices - p.good_slices;
      if (p.state != PieceState::kGood) v.all_good = false;
    }
    v.recovery_slices = v.set.recovery.size();
    v.repairable = v.all_good || v.bad_slices <= v.recovery_slices;
    v.ok = true;
  } catch (const std::exception& e) {
    v.error = par2_path + ": " + e.what();
  }
  return v;
}

// ---- repair -------------------------------------------------------------------

RepairResult RepairSet(const std::string& par2_path, const RepairOptions& o) {
  RepairResult r;
  auto fail = [&](std::string why) {
    r.ok = false;
    r.error = std::move(why);
    r.rebuilt.clear();
    r.kept_bad.clear();
    return r;
  };
  VerifyOptions vo;
  vo.progress = o.progress;
  vo.threads = o.threads;
  r.before = VerifySet(par2_path, vo);
  if (!r.before.ok) return fail(r.before.error);
  if (r.before.all_good) {
    r.ok = true;
    return r;
  }
  const VerifyReport& v = r.before;
  const RecoverySet& set = v.set;
  const uint64_t S = set.slice_size;
  try {
    for (const PieceReport& p : v.pieces)
      if (p.state == PieceState::kNotAFile) return fail(p.detail);

    // ---- what is missing, and which recovery slices rebuild it ----
    std::vector<uint64_t> missing;  // slice numbers in the set
    for (size_t i = 0; i < v.pieces.size(); ++i)
      for (uint64_t k = 0; k < v.pieces[i].slices; ++k)
        if (!v.pieces[i].slice_good[k]) missing.push_back(set.files[i].first_slice + k);
    const size_t m = missing.size();
    if (m > set.recovery.size())
      return fail(par2_path + ": " + std::to_string(m) +
                  " slice(s) are missing or damaged but only " +
                  std::to_string(set.recovery.size()) +
                  " recovery slice(s) can be read; nothing was changed");
    uint64_t total_slices = 0;
    for (const SetFile& f : set.files) total_slices += f.slice_count;
    Field field;
    const std::vector<uint16_t> c = InputConstants(field, static_cast<uint32_t>(total_slices));
    std::vector<size_t> rows;
    Matrix a;
    a.n = m;
    if (m) {
      std::vector<uint16_t> cand(set.recovery.size() * m);
      for (size_t j = 0; j < set.recovery.size(); ++j)
        for (size_t x = 0; x < m; ++x)
          cand[j * m + x] = field.Pow(c[missing[x]], set.recovery[j].exponent);
      rows = IndependentRows(field, cand, set.recovery.size(), m);
      if (rows.empty())
        return fail(par2_path + ": the recovery slices at hand cannot rebuild the " +
                    std::to_string(m) + " missing slice(s); nothing was changed");
      a.a.resize(m * m);
      for (size_t j = 0; j < m; ++j)
        for (size_t x = 0; x < m; ++x) a.at(j, x) = cand[rows[j] * m + x];
      if (!Invert(field, &a))
        return fail(par2_path + ": the recovery matrix cannot be inverted");
    }

    // ---- the names, decided before the first byte ----
    std::string out_dir = o.output_dir;
    bool in_place = out_dir.empty();
    if (!in_place) {
      dev_t d1, d2;
      ino_t n1, n2;
      if (Probe(out_dir + "/.", &d1, &n1) == 0)
        return fail(out_dir + ": the output folder is not there");
      if (Probe(set.folder + "/.", &d2, &n2) != 0 && d1 == d2 && n1 == n2)
        in_place = true;
    }
    struct Target {
      size_t piece;
      std::string final_path, part, bad;
      bool replace = false;  // final_path (or bad) exists and may go
    };
    std::vector<Target> targets;
    std::vector<std::string> existing;
    for (size_t i = 0; i < v.pieces.size(); ++i) {
      const PieceReport& p = v.pieces[i];
      if (p.state == PieceState::kGood) continue;
      Target t;
      t.piece = i;
      t.final_path = in_place ? p.path : JoinPath(out_dir, p.name);
      t.part = t.final_path + ".part";
      if (Probe(t.part) != 0)
        return fail(t.part + ": exists (left from an earlier run? remove it)");
      if (in_place && p.state != PieceState::kMissing) {
        t.bad = p.path + ".bad";
        int kind = Probe(t.bad);
        if (kind == 2) return fail(t.bad + ": in the way, and not a regular file");
        if (kind == 1) existing.push_back(t.bad);
      } else if (!in_place) {
        dev_t d;
        ino_t n;
        int kind = Probe(t.final_path, &d, &n);
        if (kind == 2) return fail(t.final_path + ": in the way, and not a regular file");
        if (kind == 1) {
          for (const PieceReport& q : v.pieces) {
            dev_t qd;
            ino_t qn;
            if (Probe(q.path, &qd, &qn) == 1 && qd == d && qn == n)
              return fail(t.final_path + ": is a piece of the set, and would be replaced");
          }
          existing.push_back(t.final_path);
        }
      }
      targets.push_back(std::move(t));
    }
    if (!existing.empty()) {
      if (!(o.confirm_replace && o.confirm_replace(existing)))
        return fail(existing[0] + ": exists (not replaced); nothing was changed");
      for (Target& t : targets) t.replace = true;
    }

    // ---- the sources: the slices we have, and the recovery slices ----
    std::vector<InputFile> inputs(v.pieces.size());
    std::map<std::string, InputFile> par2_inputs;
    EngineJob job;
    job.slice_size = S;
    job.outputs = m;
    job.memory_limit = o.memory_limit;
    job.threads = o.threads;
    std::string why;
    uint64_t source_bytes = 0;
    for (size_t i = 0; i < v.pieces.size(); ++i) {
      const PieceReport& p = v.pieces[i];
      if (!p.good_slices) continue;
      if (OpenInput(p.path, &inputs[i], &why) != OpenResult::kOk || inputs[i].size != p.size)
        return fail(why.empty() ? p.path + ": changed since it was checked" : why);
      for (uint64_t k = 0; k < p.slices; ++k) {
        if (!p.slice_good[k] || !m) continue;
        EngineSource s;
        s.fd = inputs[i].fd.get();
        s.path = &inputs[i].path;
        s.offset = k * S;
        s.available = std::min(S, set.files[i].length - k * S);
        const uint16_t ci = c[set.files[i].first_slice + k];
        std::vector<uint16_t> powers(m);
        for (size_t j = 0; j < m; ++j)
          powers[j] = field.Pow(ci, set.recovery[rows[j]].exponent);
        for (size_t x = 0; x < m; ++x) {
          uint16_t sum = 0;
          for (size_t j = 0; j < m; ++j) sum ^= field.Mul(a.at(x, j), powers[j]);
          s.coef.push_back(sum);
        }
        source_bytes += s.available;
        job.sources.push_back(std::move(s));
      }
    }
    for (size_t j = 0; j < m; ++j) {
      const RecoverySlice& rs = set.recovery[rows[j]];
      auto it = par2_inputs.find(rs.file);
      if (it == par2_inputs.end()) {
        InputFile f;
        if (OpenInput(rs.file, &f, &why) != OpenResult::kOk)
          return fail(why.empty() ? rs.file + ": gone" : why);
        it = par2_inputs.emplace(rs.file, std::move(f)).first;
      }
      EngineSource s;
      s.fd = it->second.fd.get();
      s.path = &it->second.path;
      s.offset = rs.offset;
      s.available = S;
      for (size_t x = 0; x < m; ++x) s.coef.push_back(a.at(x, j));
      source_bytes += S;
      job.sources.push_back(std::move(s));
    }

    // ---- the temporary files ----
    struct Parts {
      std::vector<std::string> paths;
      bool keep = false;
      ~Parts() {
        if (!keep)
          for (const std::string& p : paths) unlink(p.c_str());
      }
    } parts;
    std::vector<Fd> fds(targets.size());
    std::vector<size_t> target_of(v.pieces.size(), SIZE_MAX);
    for (size_t t = 0; t < targets.size(); ++t) {
      if (!CreateNew(targets[t].part, &fds[t], &why)) return fail(why);
      parts.paths.push_back(targets[t].part);
      target_of[targets[t].piece] = t;
    }
    uint64_t copy_bytes = 0, written_bytes = 0;
    for (const Target& t : targets) written_bytes += set.files[t.piece].length;
    const uint64_t total = source_bytes + written_bytes * 2;
    auto report = [&](uint64_t done) {
      if (o.progress.report) o.progress.report(done, total);
    };
    // The good slices of a damaged piece come along as they are.
    std::vector<uint8_t> buf(1 << 20);
    for (size_t t = 0; t < targets.size(); ++t) {
      const size_t i = targets[t].piece;
      const PieceReport& p = v.pieces[i];
      for (uint64_t k = 0; k < p.slices; ++k) {
        if (!p.slice_good[k]) continue;
        const uint64_t end = std::min(S * (k + 1), set.files[i].length);
        for (uint64_t off = k * S; off < end;) {
          size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), end - off));
          if (!ReadAt(inputs[i].fd.get(), off, buf.data(), n, p.path, &why) ||
              !WriteAt(fds[t].get(), off, buf.data(), n, targets[t].part, &why))
            return fail(why);
          off += n;
          copy_bytes += n;
        }
      }
      if (o.progress.cancelled && o.progress.cancelled()) return fail("cancelled");
    }
    report(copy_bytes);

    // ---- the missing slices ----
    if (m) {
      job.sink = [&](size_t x, uint64_t off, const uint8_t* data, size_t len,
                     std::string* error) {
        const uint64_t slice = missing[x];
        size_t i = 0;
        while (!(slice >= set.files[i].first_slice &&
                 slice < set.files[i].first_slice + set.files[i].slice_count))
          ++i;
        const uint64_t at = (slice - set.files[i].first_slice) * S + off;
        if (at >= set.files[i].length) return true;  // the zero fill
        const size_t n = static_cast<size_t>(std::min<uint64_t>(len, set.files[i].length - at));
        const size_t t = target_of[i];
        return WriteAt(fds[t].get(), at, data, n, targets[t].part, error);
      };
      job.tick = [&](uint64_t done) { report(copy_bytes + done); };
      job.cancelled = o.progress.cancelled;
      if (!RunEngine(job, &why)) return fail(why);
    }
    for (size_t t = 0; t < targets.size(); ++t)
      if (!fds[t].Close())
        return fail(targets[t].part + ": write error: " + ErrnoText(errno));

    // ---- every rebuilt piece must match before anything moves ----
    uint64_t checked = 0;
    for (const Target& t : targets) {
      const SetFile& f = set.files[t.piece];
      InputFile in;
      if (OpenInput(t.part, &in, &why) != OpenResult::kOk)
        return fail(why.empty() ? t.part + ": gone" : why);
      if (in.size != f.length)
        return fail(t.part + ": rebuilt with " + std::to_string(in.size) +
                    " bytes instead of " + std::to_string(f.length) + "; nothing was changed");
      Md5Hasher h;
      for (uint64_t off = 0; off < f.length;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), f.length - off));
        if (!ReadAt(in.fd.get(), off, buf.data(), n, t.part, &why)) return fail(why);
        h.Update(buf.data(), n);
        off += n;
        checked += n;
      }
      report(source_bytes + copy_bytes + checked);
      if (h.Final() != f.md5)
        return fail(t.part + ": the rebuilt piece does not match its MD5 (the "
                    "recovery data may be damaged); nothing was changed");
    }

    // ---- into place ----
    for (const Target& t : targets) {
      if (!t.bad.empty()) {
        if (rename(t.final_path.c_str(), t.bad.c_str()) != 0)
          return fail(t.final_path + ": cannot move aside to " + t.bad + ": " +
                      ErrnoText(errno));
        r.kept_bad.push_back(t.bad);
      }
      int rc = t.replace && !in_place ? rename(t.part.c_str(), t.final_path.c_str())
                                      : link(t.part.c_str(), t.final_path.c_str());
      if (rc != 0) {
        int err = errno;
        if (!t.bad.empty()) rename(t.bad.c_str(), t.final_path.c_str());
        return fail(t.final_path + ": cannot put in place: " + ErrnoText(err));
      }
      unlink(t.part.c_str());
      r.rebuilt.push_back(t.final_path);
    }
    parts.keep = true;
    report(total);
    r.ok = true;
    return r;
  } catch (const std::exception& e) {
    return fail(par2_path + ": " + e.what());
  }
}

}  // namespace pvx::par2
