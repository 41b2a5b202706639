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
  slice_md5_.emplace();
}

void FileChecksums::EndSlice() {
  // The first slice's digest so far is the whole file's too: carry it on
  // from here rather than hash every byte twice from the start.
  if (!whole_) whole_.emplace(*slice_md5_);
  done_.push_back({Md5Hasher(*slice_md5_).Final(), slice_crc_});
  slice_md5_.emplace();
  slice_crc_ = 0;
  slice_have_ = 0;
}

void FileChecksums::Update(const void* data, size_t len) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (length_ < kHead) {
    head_.Update(p, static_cast<size_t>(std::min<uint64_t>(len, kHead - length_)));
  }
  while (len > 0) {
    // A full slice is closed only when more bytes come: the last one stays
    // open for Slices and WholeMd5.
    if (slice_ != 0 && slice_have_ == slice_) EndSlice();
    size_t n = len;
    if (slice_ != 0) n = static_cast<size_t>(std::min<uint64_t>(n, slice_ - slice_have_));
    slice_md5_->Update(p, n);
    slice_crc_ = Crc32(slice_crc_, p, n);
    if (whole_) whole_->Update(p, n);
    slice_have_ += n;
    length_ += n;
    p += n;
    len -= n;
  }
}

Md5 FileChecksums::WholeMd5() const {
  return Md5Hasher(whole_ ? *whole_ : *slice_md5_).Final();
}

Md5 FileChecksums::HeadMd5() const { return Md5Hasher(head_).Final(); }

bool FileChecksums::Slices(uint64_t slice_size, std::vector<SliceCheck>* out) const {
  out->clear();
  if (slice_size == 0) return false;
  if (length_ == 0) return true;
  if (slice_size == slice_) {
    *out = done_;
  } else if (!done_.empty() || length_ > slice_size) {
    return false;  // cut at other places
  }
  // The open slice: the only one when the sizes differ.
  const uint64_t pad = slice_size - slice_have_;
  out->push_back({Padded(*slice_md5_, pad), Crc32Zeros(slice_crc_, pad)});
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
