// The checksums PAR2 keeps of an input file (its MD5, the MD5 of its first
// 16 KiB, and each slice's MD5 and CRC-32) taken from its bytes as they go
// by, in order: while a cut writes a piece, so that the recovery data made
// afterwards need not hash the pieces again. None of them depends on the
// other files of the set; the recovery slices do (an input slice's constant
// follows from its place in the Main packet's order of File IDs), so those
// wait until every piece is there.
#pragma once

#include <stdint.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <optional>
#include <vector>

#include "integrity/par2_format.h"

namespace pvx::par2 {

class FileChecksums {
 public:
  // In slices of slice_size bytes (a multiple of 4); 0: the whole file is
  // one slice, however long it grows.
  explicit FileChecksums(uint64_t slice_size = 0);
  FileChecksums(const FileChecksums&) = delete;
  FileChecksums& operator=(const FileChecksums&) = delete;

  // The file's next bytes. Throws std::runtime_error when libcrypto fails.
  void Update(const void* data, size_t len);
  // The same in two halves, the MD5s and the CRC-32s, each of which takes
  // every byte in order: two threads may feed one each at the same time
  // (MD5 is three times as slow, and a file's bytes go through it one
  // after the other). The results are there once both have all the bytes.
  void UpdateMd5(const void* data, size_t len);
  void UpdateCrc(const void* data, size_t len);

  uint64_t Length() const { return md5_.at.length; }
  Md5 WholeMd5() const;  // of every byte so far
  Md5 HeadMd5() const;   // of the first 16 KiB (all of a shorter file)
  // The slices' checks for slices of slice_size bytes, the last one padded
  // with zeros, as the Input File Slice Checksum packet holds them (none for
  // an empty file). False when the bytes were taken in slices of another
  // size and the file is longer than one slice of either, or when the
  // halves were not given the same bytes.
  bool Slices(uint64_t slice_size, std::vector<SliceCheck>* out) const;

 private:
  // How far a half is, and where its current slice began.
  struct Position {
    uint64_t length = 0;
    uint64_t slice_have = 0;  // bytes of the current slice
    // Whether the current slice is full and more bytes come: it is closed
    // only then, so that the last one stays open for Slices and WholeMd5.
    bool SliceEnds(uint64_t slice) const {
      return slice != 0 && slice_have == slice;
    }
    // Of len bytes, those that belong to the current slice.
    size_t Take(uint64_t slice, size_t len);
  };
  struct Md5Half {
    Position at;
    Md5Hasher head;
    // The current slice; while it is the first one it holds the whole
    // file, and whole starts only once there is a second.
    std::optional<Md5Hasher> slice;
    std::optional<Md5Hasher> whole;
    std::vector<Md5> done;  // the slices before the current one
  };
  struct CrcHalf {
    Position at;
    uint32_t slice = 0;
    std::vector<uint32_t> done;
  };

  const uint64_t slice_;
  Md5Half md5_;
  CrcHalf crc_;
};

// Which file checksums were taken of, as it was once they were complete: a
// file that is not that one any more (another file at the name, or written
// to since) is read again.
struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  uint64_t size = 0;
  int64_t mtime_ns = 0;
  bool operator==(const FileStamp& o) const {
    return dev == o.dev && ino == o.ino && size == o.size &&
           mtime_ns == o.mtime_ns;
  }
};

// The stamp of the file st describes.
FileStamp StampOf(const struct stat& st);

struct TakenChecksums {
  FileStamp file;
  std::shared_ptr<const FileChecksums> sums;
};

}  // namespace pvx::par2
