#include "integrity/par2_checksums.h"

#include <algorithm>

namespace pvx::par2 {

namespace {

constexpr uint64_t kHead = 16384;

Md5 Padded(const Md5Hasher& running, uint64_t zeros) {
  Md5Hasher h(running);
  h.UpdateZeros(zeros);
  return h.Final();
}

}  // namespace

FileChecksums::FileChecksums(uint64_t slice_size) : slice_(slice_size) {
  md5_.slice.emplace();
}

size_t FileChecksums::Position::Take(uint64_t slice, size_t len) {
  size_t n = len;
  if (slice != 0) n = static_cast<size_t>(std::min<uint64_t>(n, slice - slice_have));
  slice_have += n;
  length += n;
  return n;
}

void FileChecksums::Update(const void* data, size_t len) {
  UpdateMd5(data, len);
  UpdateCrc(data, len);
}

void FileChecksums::UpdateMd5(const void* data, size_t len) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  Md5Half& h = md5_;
  if (h.at.length < kHead)
    h.head.Update(p, static_cast<size_t>(std::min<uint64_t>(len, kHead - h.at.length)));
  while (len > 0) {
    if (h.at.SliceEnds(slice_)) {
      // The first slice's digest so far is the whole file's too: carry it
      // on from here rather than hash every byte twice from the start.
      if (!h.whole) h.whole.emplace(*h.slice);
      h.done.push_back(Md5Hasher(*h.slice).Final());
      h.slice.emplace();
      h.at.slice_have = 0;
    }
    const size_t n = h.at.Take(slice_, len);
    h.slice->Update(p, n);
    if (h.whole) h.whole->Update(p, n);
    p += n;
    len -= n;
  }
}

void FileChecksums::UpdateCrc(const void* data, size_t len) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  CrcHalf& h = crc_;
  while (len > 0) {
    if (h.at.SliceEnds(slice_)) {
      h.done.push_back(h.slice);
      h.slice = 0;
      h.at.slice_have = 0;
    }
    const size_t n = h.at.Take(slice_, len);
    h.slice = Crc32(h.slice, p, n);
    p += n;
    len -= n;
  }
}

Md5 FileChecksums::WholeMd5() const {
  return Md5Hasher(md5_.whole ? *md5_.whole : *md5_.slice).Final();
}

Md5 FileChecksums::HeadMd5() const { return Md5Hasher(md5_.head).Final(); }

bool FileChecksums::Slices(uint64_t slice_size, std::vector<SliceCheck>* out) const {
  out->clear();
  const uint64_t length = md5_.at.length;
  if (slice_size == 0 || crc_.at.length != length) return false;
  if (length == 0) return true;
  if (slice_size == slice_) {
    for (size_t k = 0; k < md5_.done.size(); ++k)
      out->push_back({md5_.done[k], crc_.done[k]});
  } else if (!md5_.done.empty() || length > slice_size) {
    return false;  // cut at other places
  }
  // The open slice: the only one when the sizes differ.
  const uint64_t pad = slice_size - md5_.at.slice_have;
  out->push_back({Padded(*md5_.slice, pad), Crc32Zeros(crc_.slice, pad)});
  return true;
}

FileStamp StampOf(const struct stat& st) {
  FileStamp s;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = static_cast<uint64_t>(st.st_size);
  s.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 +
               st.st_mtim.tv_nsec;
  return s;
}

}  // namespace pvx::par2
