#include "integrity/par2_create.h"

#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "integrity/gf16.h"
#include "integrity/par2_io.h"

namespace pvx::par2 {

namespace {

std::string StemOf(const std::string& index) {
  const std::string ext = ".par2";
  if (index.size() > ext.size() &&
      index.compare(index.size() - ext.size(), ext.size(), ext) == 0)
    return index.substr(0, index.size() - ext.size());
  return index;
}

unsigned Digits(uint32_t x) {
  unsigned d = 1;
  for (; x >= 10; x /= 10) ++d;
  return d;
}

// Removes the temporary files of an operation that did not finish.
struct PartFiles {
  std::vector<std::string> paths;
  bool keep = false;
  ~PartFiles() {
    if (!keep)
      for (const std::string& p : paths) unlink(p.c_str());
  }
};

}  // namespace

std::vector<VolumePlan> PlanVolumes(const std::string& index, uint32_t slices) {
  std::vector<VolumePlan> plan;
  uint32_t first = 0, per = 1, largest = 0;
  while (first < slices) {
    uint32_t n = std::min(per, slices - first);
    plan.push_back({"", first, n});
    largest = std::max(largest, n);
    first += n;
    if (per < (1u << 30)) per *= 2;
  }
  const std::string stem = StemOf(index);
  for (VolumePlan& v : plan) {
    char tail[64];
    snprintf(tail, sizeof tail, ".vol%0*u+%0*u.par2", Digits(slices), v.first,
             Digits(largest), v.count);
    v.path = stem + tail;
  }
  return plan;
}

std::vector<std::string> OutputNames(const std::string& index, uint32_t slices) {
  std::vector<std::string> names{index};
  for (const VolumePlan& v : PlanVolumes(index, slices)) names.push_back(v.path);
  return names;
}

bool ParseRecoveryAmount(std::string_view text, uint32_t pieces,
                         uint32_t* slices, std::string* error) {
  bool percent = !text.empty() && text.back() == '%';
  if (percent) text.remove_suffix(1);
  uint64_t n = 0;
  if (text.empty() || text.size() > 9) {
    *error = "the amount of recovery data is not a number (N or N%)";
    return false;
  }
  for (char c : text) {
    if (c < '0' || c > '9') {
      *error = "the amount of recovery data is not a number (N or N%)";
      return false;
    }
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (percent) {
    if (n > 100) {
      *error = "the share of recovery data is above 100%";
      return false;
    }
    n = (n * pieces + 99) / 100;
  }
  if (n == 0 || n > 65535) {
    *error = "the number of recovery slices must be from 1 to 65535";
    return false;
  }
  *slices = static_cast<uint32_t>(n);
  return true;
}

CreateResult CreateRecovery(const CreateOptions& o) {
  CreateResult r;
  auto fail = [&](std::string why) {
    r.ok = false;
    r.error = std::move(why);
    r.written.clear();
    return r;
  };
  if (o.pieces.empty()) return fail(o.index + ": no pieces to protect");
  if (o.slice_size % 4) return fail("the slice size must be a multiple of 4");
  if (o.recovery_slices > 65535)
    return fail("at most 65535 recovery slices can be made");
  try {
    // ---- the pieces ----
    const std::string folder = DirName(o.index);
    dev_t dir_dev;
    ino_t dir_ino;
    if (Probe(folder + "/.", &dir_dev, &dir_ino) == 0)
      return fail(folder + ": the folder for the PAR2 files is not there");
    struct Piece {
      InputFile in;
      FileStamp stamp;
      std::string name;
      Md5 md5_16k{}, md5{}, id{};
      uint64_t first_slice = 0, slices = 0;
      const FileChecksums* known = nullptr;  // taken as it was written
    };
    std::vector<Piece> pieces(o.pieces.size());
    std::set<std::string> names;
    uint64_t largest = 0, total = 0;
    for (size_t i = 0; i < o.pieces.size(); ++i) {
      Piece& p = pieces[i];
      std::string why;
      OpenResult got = OpenInput(o.pieces[i], &p.in, &why);
      if (got == OpenResult::kMissing) return fail(o.pieces[i] + ": not there");
      if (got == OpenResult::kError) return fail(why);
      dev_t d;
      ino_t n;
      if (Probe(DirName(o.pieces[i]) + "/.", &d, &n) == 0 || d != dir_dev ||
          n != dir_ino)
        return fail(o.pieces[i] + ": not in the folder of " + o.index);
      struct stat st;
      if (fstat(p.in.fd.get(), &st) != 0)
        return fail(o.pieces[i] + ": cannot read its status: " + ErrnoText(errno));
      p.stamp = StampOf(st);
      p.name = BaseName(o.pieces[i]);
      if (!names.insert(p.name).second)
        return fail(o.pieces[i] + ": named twice among the pieces");
      largest = std::max(largest, p.in.size);
      total += p.in.size;
    }
    const uint64_t slice = o.slice_size ? o.slice_size
                                        : std::max<uint64_t>(4, (largest + 3) / 4 * 4);
    r.slice_size = slice;
    // The checksums taken as the pieces were written, for each piece that
    // is still the file they were taken of and whose slices they fit.
    std::vector<std::vector<SliceCheck>> known_slices(pieces.size());
    std::map<std::pair<dev_t, ino_t>, const TakenChecksums*> taken;
    for (const TakenChecksums& k : o.known)
      if (k.sums) taken[{k.file.dev, k.file.ino}] = &k;
    for (size_t i = 0; i < pieces.size(); ++i) {
      Piece& p = pieces[i];
      auto k = taken.find({p.stamp.dev, p.stamp.ino});
      if (k != taken.end() && k->second->file == p.stamp &&
          k->second->sums->Length() == p.in.size &&
          k->second->sums->Slices(slice, &known_slices[i]))
        p.known = k->second->sums.get();
    }

    // ---- the names, decided before the first byte ----
    const std::vector<VolumePlan> vols = PlanVolumes(o.index, o.recovery_slices);
    std::vector<std::string> outputs{o.index};
    for (const VolumePlan& v : vols) outputs.push_back(v.path);
    std::vector<std::string> existing;
    for (const std::string& out : outputs) {
      dev_t d;
      ino_t n;
      int kind = Probe(out, &d, &n);
      if (kind == 2) return fail(out + ": in the way, and not a regular file");
      if (kind == 1) {
        for (const Piece& p : pieces)
          if (p.in.dev == d && p.in.ino == n)
            return fail(out + ": is one of the pieces, and would be replaced");
        existing.push_back(out);
      }
    }
    if (!existing.empty() && !(o.confirm_replace && o.confirm_replace(existing)))
      return fail(existing[0] + ": exists (not replaced)");

    // ---- the File IDs and the recovery set id ----
    std::vector<uint8_t> head(16384);
    for (Piece& p : pieces) {
      if (p.known) {
        p.md5_16k = p.known->HeadMd5();
        p.md5 = p.known->WholeMd5();
      } else {
        size_t n = static_cast<size_t>(std::min<uint64_t>(head.size(), p.in.size));
        std::string why;
        if (!ReadAt(p.in.fd.get(), 0, head.data(), n, p.in.path, &why)) return fail(why);
        p.md5_16k = Md5Hasher::Of(head.data(), n);
      }
      p.id = FileIdOf(p.md5_16k, p.in.size, p.name);
      p.slices = (p.in.size + slice - 1) / slice;
    }
    std::vector<size_t> order(pieces.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return FileIdLess(pieces[a].id, pieces[b].id);
    });
    for (size_t k = 1; k < order.size(); ++k)
      if (pieces[order[k]].id == pieces[order[k - 1]].id)
        return fail(pieces[order[k]].in.path + ": has the same File ID as " +
                    pieces[order[k - 1]].in.path);
    MainPacket main;
    main.slice_size = slice;
    uint64_t slices = 0;
    for (size_t i : order) {
      main.files.push_back(pieces[i].id);
      pieces[i].first_slice = slices;
      slices += pieces[i].slices;
    }
    if (slices > kMaxInputSlices)
      return fail(o.index + ": the set would have " + std::to_string(slices) +
                  " slices; the PAR 2.0 format takes at most 32768");
    const std::vector<uint8_t> main_body = MainBody(main);
    const Md5 set_id = SetIdOf(main_body);
    r.set_id = set_id;

    // ---- the temporary files ----
    PartFiles parts;
    std::vector<Fd> fds(outputs.size());
    for (size_t i = 0; i < outputs.size(); ++i) {
      std::string why;
      if (!CreateNew(outputs[i] + ".part", &fds[i], &why)) return fail(why);
      parts.paths.push_back(outputs[i] + ".part");
    }

    // ---- one pass over the pieces: recovery slices, and the checks of
    // the pieces not hashed already ----
    Field field;
    const std::vector<uint16_t> constants = InputConstants(field, static_cast<uint32_t>(slices));
    const uint32_t nrec = o.recovery_slices;
    EngineJob job;
    job.slice_size = slice;
    job.outputs = nrec;
    job.memory_limit = o.memory_limit;
    job.threads = o.threads;
    // The checks of each source (slice) as it is read; null for the slices
    // of pieces whose checks are known.
    std::vector<std::unique_ptr<FileChecksums>> state;
    bool hash_any = false;
    for (size_t i : order) {
      Piece& p = pieces[i];
      if (p.known) {
        // Its MD5s are in hand already.
      } else if (p.slices > 1) {
        // Several slices: the whole file's MD5 takes a pass of its own.
        Md5Hasher h;
        std::vector<uint8_t> buf(1 << 20);
        for (uint64_t off = 0; off < p.in.size; off += buf.size()) {
          size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), p.in.size - off));
          std::string why;
          if (!ReadAt(p.in.fd.get(), off, buf.data(), n, p.in.path, &why)) return fail(why);
          h.Update(buf.data(), n);
        }
        p.md5 = h.Final();
      } else if (p.slices == 0) {
        p.md5 = Md5Hasher::Of(nullptr, 0);
      }
      for (uint64_t k = 0; k < p.slices; ++k) {
        EngineSource s;
        s.fd = p.in.fd.get();
        s.path = &p.in.path;
        s.offset = k * slice;
        s.available = std::min(slice, p.in.size - k * slice);
        const uint16_t c = constants[job.sources.size()];
        for (uint32_t e = 0; e < nrec; ++e) s.coef.push_back(field.Pow(c, e));
        job.sources.push_back(std::move(s));
        if (p.known) {
          state.emplace_back();
        } else {
          state.emplace_back(new FileChecksums);
          hash_any = true;
        }
      }
    }
    if (hash_any)
      job.on_bytes = [&](size_t src, const uint8_t* data, size_t len) {
        if (state[src]) state[src]->Update(data, len);
      };
    // Recovery slice e goes to the volume holding it, after the slices
    // before it there.
    const uint64_t rec_packet = kHeaderSize + 4 + slice;
    struct Out {
      size_t fd;
      uint64_t at;  // of the packet
      std::unique_ptr<Md5Hasher> md5;
    };
    std::vector<Out> outs;
    std::vector<uint64_t> vol_end(outputs.size(), 0);
    for (size_t v = 0; v < vols.size(); ++v)
      for (uint32_t e = vols[v].first; e < vols[v].first + vols[v].count; ++e) {
        Out out{v + 1, vol_end[v + 1], std::make_unique<Md5Hasher>()};
        auto prefix = RecoveryHashPrefix(set_id, e);
        out.md5->Update(prefix.data(), prefix.size());
        vol_end[v + 1] += rec_packet;
        outs.push_back(std::move(out));
      }
    job.sink = [&](size_t o_, uint64_t off, const uint8_t* data, size_t len,
                   std::string* error) {
      Out& out = outs[o_];
      out.md5->Update(data, len);
      return WriteAt(fds[out.fd].get(), out.at + kHeaderSize + 4 + off, data,
                     len, parts.paths[out.fd], error);
    };
    job.tick = [&](uint64_t done) {
      if (o.progress.report) o.progress.report(done, total);
    };
    job.cancelled = o.progress.cancelled;
    std::string why;
    if (!RunEngine(job, &why)) return fail(why);

    // ---- the packets that describe the set ----
    std::vector<uint8_t> critical = Packet(set_id, kMainType, main_body);
    size_t src = 0;
    for (size_t i : order) {
      Piece& p = pieces[i];
      IfscPacket ifsc;
      ifsc.file_id = p.id;
      if (p.known) {
        ifsc.slices = known_slices[i];
        src += p.slices;
      }
      for (uint64_t k = 0; !p.known && k < p.slices; ++k, ++src) {
        const FileChecksums& s = *state[src];
        std::vector<SliceCheck> one;  // the slice, padded with zeros
        if (s.Length() != job.sources[src].available || !s.Slices(slice, &one))
          return fail(p.in.path + ": read short (it changed while we read it)");
        if (p.slices == 1) p.md5 = s.WholeMd5();
        ifsc.slices.push_back(one[0]);
      }
      FileDescPacket d{p.id, p.md5, p.md5_16k, p.in.size, p.name};
      auto a = Packet(set_id, kFileDescType, FileDescBody(d));
      auto b = Packet(set_id, kIfscType, IfscBody(ifsc));
      critical.insert(critical.end(), a.begin(), a.end());
      critical.insert(critical.end(), b.begin(), b.end());
    }
    auto creator = Packet(set_id, kCreatorType, CreatorBody(o.creator.empty() ? std::string("Parvex " PVX_VERSION) : o.creator));
    critical.insert(critical.end(), creator.begin(), creator.end());

    for (size_t k = 0; k < outs.size(); ++k) {
      uint32_t e = static_cast<uint32_t>(k);
      auto h = RecoveryHeader(set_id, e, slice, outs[k].md5->Final());
      if (!WriteAt(fds[outs[k].fd].get(), outs[k].at, h.data(), h.size(),
                   parts.paths[outs[k].fd], &why))
        return fail(why);
    }
    for (size_t f = 0; f < outputs.size(); ++f) {
      if (!WriteAt(fds[f].get(), vol_end[f], critical.data(), critical.size(),
                   parts.paths[f], &why))
        return fail(why);
      if (!fds[f].Close())
        return fail(parts.paths[f] + ": write error: " + ErrnoText(errno));
    }
    // A piece that changed under us makes the data worthless; one whose
    // checks were taken before must not have been written to at all.
    for (const Piece& p : pieces) {
      struct stat st;
      if (fstat(p.in.fd.get(), &st) != 0 ||
          static_cast<uint64_t>(st.st_size) != p.in.size ||
          (p.known && !(StampOf(st) == p.stamp)))
        return fail(p.in.path + ": changed while the recovery data was made");
    }

    // ---- into place ----
    std::set<std::string> agreed(existing.begin(), existing.end());
    for (size_t f = 0; f < outputs.size(); ++f) {
      const std::string& part = parts.paths[f];
      int rc = agreed.count(outputs[f]) ? rename(part.c_str(), outputs[f].c_str())
                                        : link(part.c_str(), outputs[f].c_str());
      if (rc != 0)
        return fail(outputs[f] + ": cannot put in place: " + ErrnoText(errno));
      if (!agreed.count(outputs[f])) unlink(part.c_str());
      r.written.push_back(outputs[f]);
    }
    parts.keep = true;
    r.ok = true;
    return r;
  } catch (const std::exception& e) {
    return fail(o.index + ": " + e.what());
  }
}

}  // namespace pvx::par2
