// Files, folders and names on POSIX. The user-facing half (questions,
// progress) is left to the front end that derives from this class.
//
// How outputs are written: a new file is made under "<name>.part" (never
// through a link, never over an existing entry) and renamed onto its name
// only at Commit, so that an existing file stays whole until the new one is
// complete. What is closed uncommitted stays under "<name>.part".
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace pvx {

class PosixPlatform : public Platform {
 public:
  FileHandle OpenRead(const char* path, Failure* why) override;
  FileHandle OpenSource(const char* path, Failure* why) override;
  FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                       Failure* why) override;
  bool Truncate(FileHandle f, Failure* why) override;
  // fallocate(FALLOC_FL_KEEP_SIZE) where the system has it.
  bool Reserve(FileHandle f, uint64_t length, Failure* why) override;
  // Renames "<name>.part" onto its name. When the user was not asked, an
  // entry that appeared meanwhile is not replaced: *taken.
  // Remembers the names of the files put in place (see TakeCommitted).
  bool Commit(FileHandle f, bool replace, bool* taken, Failure* why) override;
  // The files put in place since the last call, in order.
  std::vector<std::string> TakeCommitted();
  bool Length(FileHandle f, uint64_t* length, Failure* why) override;
  bool Seek(FileHandle f, uint64_t offset, Failure* why) override;
  bool Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
            Failure* why) override;
  bool Write(FileHandle f, const void* buf, uint32_t n, Failure* why) override;
  // read and write through the chunk buffer, placed by BufferFor (see the
  // .cpp for why not copy_file_range).
  bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
            uint32_t* got, Failure* why) override;
  bool SameFile(FileHandle a, FileHandle b) override;
  bool IsFileAt(FileHandle f, const char* path) override;
  uint32_t ChunkSize() override { return chunk_; }
  uint8_t* ChunkBuffer() override;
  void Close(FileHandle f) override;
  const char* PathOf(FileHandle f) override;
  // fstat of an open handle of this platform; false (errno set) when it
  // fails.
  static bool StatOf(FileHandle f, struct stat* st);
  // A duplicate of descriptor 0, named "standard input" in messages.
  FileHandle OpenStandardInput(Failure* why) override;
  // read(), again after a signal; once the ending signals are caught
  // (CatchEndingSignals), a wait that one of them ends with nothing read.
  bool ReadStream(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                  Failure* why) override;
  // 10,000 (kMaxSetPieces) unless set.
  int PieceLimit() override { return piece_limit_; }

  bool Exists(const char* path) override;
  bool IsFolder(const char* path) override;
  // Remembers the folders it makes, for RemoveMadeFolders.
  bool MakeFolder(const char* path) override;
  // Removes the folders made so far that are still empty, the deepest
  // first.
  void RemoveMadeFolders();
  bool AcceptsName(const char*) override { return true; }
  // Code page 932 through iconv ("CP932").
  bool ToHeaderName(const char* name, char* out, size_t cap) override;
  bool FromHeaderName(const char* raw, char* out, size_t cap) override;
  // Character by character: iconv splits the name into UTF-32, and each
  // character goes through ToHeaderName on its own.
  bool ToHeaderStandIn(const char* name, char* out, size_t cap) override;
  // The stub program built into this binary, if any (see SetStubImage).
  bool StubImage(const uint8_t** image, uint32_t* length) override;
  const char* Companions() override { return companions_.c_str(); }
  // suffixes: as Companions gives them, without the closing empty one.
  void SetCompanions(const std::string& suffixes) {
    companions_ = suffixes;
    companions_.push_back('\0');
  }

  // Adds to the question that the entry is a symbolic link, and where it
  // points, then asks it with Confirm.
  bool ConfirmReplace(const char* path, const char* text) override;

  void SetStubImage(const uint8_t* image, uint32_t length) {
    stub_ = image;
    stub_length_ = length;
  }
  // The engines' chunk: 1 MiB unless set (before the first copy).
  void SetChunkSize(uint32_t bytes) { chunk_ = bytes; }
  // The most pieces a cut makes (2 .. kMaxSetPieces).
  void SetPieceLimit(int pieces) { piece_limit_ = pieces; }

  // Where in a page-aligned buffer of ChunkSize() + 4096 bytes a chunk for
  // dst goes: at dst's file position within its page, so that the copy
  // into the page cache moves whole pages and cache lines.
  uint8_t* BufferFor(FileHandle dst);
  // dst's file position within its page (0 when it cannot be told).
  static uint32_t PageOffsetOf(FileHandle dst);

  // The "<name>.part" files closed uncommitted with data in them since the
  // last call: where partial output was kept.
  std::vector<std::string> TakeKept();

  // Standard output (a duplicate of descriptor 1) as a handle to write to:
  // written from where it stands, never emptied, reserved or renamed; null
  // + *why when it cannot be duplicated.
  FileHandle OpenStandardOutput(Failure* why);

  // The output the engine would write at engine_path goes to target
  // instead ("-": standard output, which is never there to be replaced):
  // OpenWrite, Exists and IsFileAt take the one for the other.
  void Redirect(const std::string& engine_path, const std::string& target);
  // True when path is the output that Redirect sends elsewhere.
  bool Redirected(const char* path) const;
  bool RedirectedToStandardOutput() const { return redirect_to_ == "-"; }
  const std::string& RedirectSource() const { return redirect_from_; }
  const std::string& RedirectTarget() const { return redirect_to_; }

  // What stands in the way of an output at path, written as "<path>.part"
  // first, that must be none of the files at inputs (a link at path is
  // replaced itself, never its target).
  struct OutputBlock {
    enum Kind { kNone, kIsInput, kNotAFile, kNameTooLong };
    Kind kind = kNone;
    std::string path;    // kIsInput: path or "<path>.part"
    Failure why;         // kNotAFile: what stands there
    size_t length = 0;   // kNameTooLong: the name's bytes, and the most
    long most = 0;       // a name in its folder may have
  };
  OutputBlock CheckOutput(const std::string& path,
                          const std::vector<std::string>& inputs);
  // Standard output that is one of the files at inputs: kIsInput, path
  // naming that file.
  OutputBlock CheckStandardOutput(const std::vector<std::string>& inputs);

  // The size of the regular file at path (through a link); false when
  // there is none to measure.
  static bool RegularFileSize(const char* path, uint64_t* size);

  // "<path>: is a FIFO, not a regular file" and the like, for an entry of
  // that mode that is not a regular file.
  static void DescribeKind(Failure* why, const char* path, unsigned mode,
                           Lang lang);

 private:
  // Commit's rename of "<name>.part" onto its name.
  bool RenamePart(FileHandle f, bool replace, bool* taken, Failure* why);

  const uint8_t* stub_ = nullptr;
  uint32_t stub_length_ = 0;
  uint32_t chunk_ = 1u << 20;
  int piece_limit_ = 10000;  // c00 .. c9999: as many as a set holds
  std::vector<uint8_t> buffer_;  // BufferFor's, page-aligned within
  std::vector<std::string> kept_;
  std::string companions_;
  std::vector<std::string> made_;       // folders made, in order
  std::vector<std::string> committed_;  // files put in place, in order
  std::string redirect_from_;  // Redirect's engine_path
  std::string redirect_to_;    // and its target
};

}  // namespace pvx
