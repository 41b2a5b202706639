// The POSIX platform with SHA-256 digests taken in the same pass as the
// copy: once started, every byte read from a file or written to one is
// handed to a background hasher, so that a cut can list its pieces' digests
// and a join can check its pieces and its output while it copies.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "integrity/digest.h"
#include "platform/posix/posix_platform.h"

namespace pvx {

class HashingPlatform : public PosixPlatform {
 public:
  HashingPlatform();
  ~HashingPlatform();

  // Digests every file opened from now on.
  void StartDigests();

  // What a join must find. pieces: the digest each piece must have, by the
  // path it is read from; output: the digest of the one file it writes (or
  // null), which the list names output_name. list names the checksum list
  // in messages. A piece that differs
  // fails the next open of a piece, and at the latest the output's Commit;
  // an output that differs fails its Commit, and it stays a ".part".
  void Expect(std::map<std::string, Sha256> pieces, const Sha256* output,
              std::string output_name, std::string list);

  // True once a piece or the output has been found to differ from what
  // Expect gave (the failure then said which).
  bool Mismatched() const { return mismatched_; }

  struct FileDigest {
    std::string path;   // a written file's committed name
    bool written;
    Sha256 digest;
  };
  // The digests of the files read or written whole since StartDigests, in
  // the order they were closed. Waits for the hasher. False + *why when it
  // failed.
  bool Digests(std::vector<FileDigest>* out, Failure* why);

  FileHandle OpenRead(const char* path, Failure* why) override;
  FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                       Failure* why) override;
  bool Seek(FileHandle f, uint64_t offset, Failure* why) override;
  bool Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
            Failure* why) override;
  bool Write(FileHandle f, const void* buf, uint32_t n, Failure* why) override;
  // Reads into a buffer of the hasher's pool, queues it for the digests of
  // both files, and writes it out while it is hashed.
  bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
            uint32_t* got, Failure* why) override;
  bool Commit(FileHandle f, bool replace, bool* taken, Failure* why) override;
  void Close(FileHandle f) override;

 protected:
  // Digests what is written to f, a file opened without OpenWrite (standard
  // output); returns f.
  FileHandle Tracked(FileHandle f);

 private:
  struct Open {
    Hasher::Stream stream = 0;
    uint64_t pos = 0;      // bytes hashed from the start
    bool writing = false;
    bool broken = false;   // not read in one pass from the start
  };
  struct Closed {
    std::string path;
    bool written;
    Hasher::Stream stream;
    bool checked = false;
  };
  Open* Find(FileHandle f);
  // Queues bytes for f's digest.
  bool Hash(FileHandle f, const void* data, uint32_t n, Failure* why);
  // Finishes and compares the closed pieces the join reads, all of them or
  // all but the last closed (whose last bytes may still be queued).
  bool CheckPieces(bool all, Failure* why);
  bool Finish(Hasher::Stream s, Sha256* d, Failure* why);

  std::unique_ptr<Hasher> hasher_;
  std::unordered_map<FileHandle, Open> open_;
  std::vector<Closed> closed_;
  size_t first_unchecked_ = 0;  // closed_ before it: checked or written
  std::map<std::string, Sha256> digests_;  // finished streams, by path
  std::map<std::string, Sha256> expect_;
  bool expect_output_ = false;
  bool mismatched_ = false;
  Sha256 output_ = {};
  std::string output_name_;  // as the list names it
  std::string list_;
};

}  // namespace pvx
