// SHA-256 digests taken in the same pass as the copy, over any platform:
// every operation goes to the platform inside, and once started, every
// byte read from a file or written to one on the way is handed to a
// background hasher, so that a cut can list its pieces' digests and a join
// can check its pieces and its output while it copies. The same hasher can
// take the PAR2 checksums of every file written, for recovery data made
// after a cut.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "integrity/digest.h"
#include "integrity/par2_checksums.h"
#include "platform/platform.h"

namespace pvx {

class HashingPlatform final : public Platform {
 public:
  // inner: the platform every operation goes to; it outlives this one.
  explicit HashingPlatform(Platform& inner);
  ~HashingPlatform();

  Platform& Inner() { return inner_; }

  // Digests every file opened from now on.
  void StartDigests();
  // How a written file is identified once it is complete (false: it
  // cannot be, and its checksums are not kept); the inner platform's.
  using StampOf = std::function<bool(FileHandle f, par2::FileStamp* stamp)>;
  // Takes the PAR2 checksums of every file written from now on, in slices
  // of slice_size bytes (0: one slice per file), off the copying thread.
  // Called before StartDigests, it gives the hasher room for more than a
  // piece in flight, so that the MD5s of two pieces (each a chain of one
  // block after the other) run side by side.
  void StartPar2Checksums(StampOf stamp_of, uint64_t slice_size = 0);
  // Those of the files written whole and in order since, each with the
  // file it was taken of. Waits for the hasher. A file whose checksums
  // could not be taken is left out (the recovery data then reads it).
  std::vector<par2::TakenChecksums> TakePar2Checksums();

  // What a join must find. pieces: the digest each piece must have, by the
  // path it is read from; output: the digest of the one file it writes (or
  // null), which the list names output_name. list names the checksum list
  // in messages. A piece that differs fails the next open of a piece, and
  // at the latest the output's Commit; an output that differs fails its
  // Commit, which then leaves it where the inner platform keeps what is
  // not committed.
  void Expect(std::map<std::string, Sha256> pieces, const Sha256* output,
              std::string output_name, std::string list);

  // True once a piece or the output has been found to differ from what
  // Expect gave (the failure then said which).
  bool Mismatched() const { return mismatched_; }

  struct FileDigest {
    std::string path;   // as the inner platform named it when it closed
    bool written;
    Sha256 digest;
  };
  // The digests of the files read or written whole since StartDigests, in
  // the order they were closed (a stream: read to its end). Waits for the
  // hasher. False + *why when it failed.
  bool Digests(std::vector<FileDigest>* out, Failure* why);

  // ---- what adds digests ----------------------------------------------
  FileHandle OpenRead(const char* path, Failure* why) override;
  FileHandle OpenSource(const char* path, Failure* why) override;
  FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                       Failure* why) override;
  FileHandle OpenStandardInput(Failure* why) override;
  // Skipping forward reads and hashes the bytes skipped; any other move
  // leaves the file without a digest.
  bool Seek(FileHandle f, uint64_t offset, Failure* why) override;
  bool Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
            Failure* why) override;
  bool ReadStream(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                  Failure* why) override;
  bool Write(FileHandle f, const void* buf, uint32_t n, Failure* why) override;
  // Reads into a buffer of the hasher's pool, queues it for the digests of
  // both files, and writes it out while it is hashed.
  bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
            uint32_t* got, Failure* why) override;
  // Checks what Expect gave before the output takes its name.
  bool Commit(FileHandle f, bool replace, bool* taken, Failure* why) override;
  void Close(FileHandle f) override;

  // ---- what goes to the inner platform as it is ------------------------
  bool Truncate(FileHandle f, Failure* why) override {
    return inner_.Truncate(f, why);
  }
  bool Reserve(FileHandle f, uint64_t length, Failure* why) override {
    return inner_.Reserve(f, length, why);
  }
  bool Length(FileHandle f, uint64_t* length, Failure* why) override {
    return inner_.Length(f, length, why);
  }
  bool SameFile(FileHandle a, FileHandle b) override {
    return inner_.SameFile(a, b);
  }
  bool IsFileAt(FileHandle f, const char* path) override {
    return inner_.IsFileAt(f, path);
  }
  uint32_t ChunkSize() override { return inner_.ChunkSize(); }
  uint8_t* ChunkBuffer() override { return inner_.ChunkBuffer(); }
  const char* PathOf(FileHandle f) override { return inner_.PathOf(f); }
  int PieceLimit() override { return inner_.PieceLimit(); }
  bool Exists(const char* path) override { return inner_.Exists(path); }
  bool IsFolder(const char* path) override { return inner_.IsFolder(path); }
  bool MakeFolder(const char* path) override {
    return inner_.MakeFolder(path);
  }
  bool AcceptsName(const char* name) override {
    return inner_.AcceptsName(name);
  }
  bool ToHeaderName(const char* name, char* out, size_t cap) override {
    return inner_.ToHeaderName(name, out, cap);
  }
  bool ToHeaderStandIn(const char* name, char* out, size_t cap) override {
    return inner_.ToHeaderStandIn(name, out, cap);
  }
  bool FromHeaderName(const char* raw, char* out, size_t cap) override {
    return inner_.FromHeaderName(raw, out, cap);
  }
  const char* Companions() override { return inner_.Companions(); }
  bool StubImage(const uint8_t** image, uint32_t* length) override {
    return inner_.StubImage(image, length);
  }
  Lang Language() override { return inner_.Language(); }
  void Notify(const char* text) override { inner_.Notify(text); }
  bool Confirm(const char* text) override { return inner_.Confirm(text); }
  bool ConfirmReplace(const char* path, const char* text) override {
    return inner_.ConfirmReplace(path, text);
  }
  bool AwaitDisk(const char* text) override { return inner_.AwaitDisk(text); }
  bool ProgressCreate() override { return inner_.ProgressCreate(); }
  void ProgressCaption(const char* text) override {
    inner_.ProgressCaption(text);
  }
  void ProgressLabel(const char* text) override { inner_.ProgressLabel(text); }
  void ProgressPos(int pos) override { inner_.ProgressPos(pos); }
  bool ProgressCheckCancel() override { return inner_.ProgressCheckCancel(); }
  void ProgressFinish(const char* text, bool button_first) override {
    inner_.ProgressFinish(text, button_first);
  }
  void ProgressDestroy() override { inner_.ProgressDestroy(); }

 private:
  struct Open {
    Hasher::Stream stream = 0;  // its SHA-256, when digests were started
    // Its PAR2 checksums (written files): the MD5s and the CRC-32s, into
    // sums.
    Hasher::Stream par2_md5 = 0, par2_crc = 0;
    std::shared_ptr<par2::FileChecksums> sums;
    uint64_t pos = 0;      // bytes hashed from the start
    bool writing = false;
    bool broken = false;   // not read in one pass from the start
    bool is_stream = false;  // standard input: no length to compare
    bool ended = false;      // a stream read to its end
  };
  struct Closed {
    std::string path;
    bool written;
    Hasher::Stream stream;
    bool checked = false;
  };
  struct ClosedPar2 {
    Hasher::Stream md5, crc;
    par2::FileStamp file;
    std::shared_ptr<par2::FileChecksums> sums;
  };
  Open* Find(FileHandle f);
  // The streams an open file's bytes go to; how many (0 .. 3).
  static size_t StreamsOf(const Open& o, Hasher::Stream out[3]);
  // Waits for s's bytes and closes it, whatever became of them.
  void Drop(Hasher::Stream s);
  void StartHasher();
  // Starts a digest of f, opened for reading (or for writing); returns f.
  FileHandle Track(FileHandle f, bool writing);
  // Queues bytes for f's digest.
  bool Hash(FileHandle f, const void* data, uint32_t n, Failure* why);
  // Finishes and compares the closed pieces the join reads, all of them or
  // all but the last closed (whose last bytes may still be queued).
  bool CheckPieces(bool all, Failure* why);
  bool Finish(Hasher::Stream s, Sha256* d, Failure* why);

  Platform& inner_;
  std::unique_ptr<Hasher> hasher_;
  bool take_digests_ = false;  // SHA-256 of every file opened
  bool par2_ = false;          // PAR2 checksums of every file written
  uint64_t par2_slice_ = 0;
  StampOf stamp_of_;
  std::vector<ClosedPar2> closed_par2_;
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
