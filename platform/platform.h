// The one interface the engines (cut, join, self-join) call.
//
// Every method says in one line how it fails. Failures that the user must
// see carry a Failure text that names the file and the cause. Engines never
// touch the OS directly, so they run the same on POSIX, on Win32, inside the
// tiny stub program and over the scripted fakes of the tests.
//
// This header is compiled into the CRT-free stub: no standard library here.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "base/base.h"

// PVX_OP and PVX_PURE: how the engines reach the platform in this build
// (see platform/binding.h).
#include "platform/binding.h"

namespace pvx {

// The chunk the Windows programs copy in (ChunkSize of their platform).
constexpr uint32_t kChunk = 32768;

// An open file. Each platform decides what it points at.
struct FileTag;
typedef FileTag* FileHandle;

// Each operation is declared PVX_OP ... PVX_PURE: a pure virtual function
// where the build holds several platforms, a plain member function that the
// build's only platform defines where it holds one.
class Platform {
 public:
  // ---- files --------------------------------------------------------------
  // Opens an existing file for reading, without ever blocking: what is not
  // a regular file (a FIFO, a device, a folder) is refused. Null + *why.
  PVX_OP FileHandle OpenRead(const char* path, Failure* why) PVX_PURE;
  // Opens a file to be cut: as OpenRead, closed to writers where the OS can.
  // Null on failure, with *why set.
  PVX_OP FileHandle OpenSource(const char* path, Failure* why) PVX_PURE;
  // Opens a file to write from offset 0, never through a symbolic link.
  // replace: the user has agreed to replace what stands at path. A new file
  // takes the permission bits of like (null: the default) where the OS keeps
  // such bits. Whether the file bears its name at once or only from Commit
  // on is the platform's way. Null + *why.
  PVX_OP FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                              Failure* why) PVX_PURE;
  // Empties an open file. False on failure, with *why set.
  PVX_OP bool Truncate(FileHandle f, Failure* why) PVX_PURE;
  // Reserves room for length bytes in f without changing its length; what
  // is left unwritten is given back when f is closed. False + *why only when
  // the disk has no room; no support for reserving is no failure.
  PVX_OP bool Reserve(FileHandle f, uint64_t length, Failure* why) PVX_PURE;
  // f has been written to its end: it now stands under the name OpenWrite
  // was given. replace: the user has agreed to replace what stands there
  // now. False + *why on failure (the written bytes are then kept where
  // *why says); false with *taken when an entry took the name since the
  // user was asked (or not asked) and replace is false: nothing changed.
  PVX_OP bool Commit(FileHandle f, bool replace, bool* taken,
                     Failure* why) PVX_PURE;
  // Length of an open file in bytes. False on failure, with *why set.
  PVX_OP bool Length(FileHandle f, uint64_t* length, Failure* why) PVX_PURE;
  // Moves the read position to offset from the start. False + *why.
  PVX_OP bool Seek(FileHandle f, uint64_t offset, Failure* why) PVX_PURE;
  // Reads up to n bytes; *got is 0 only at end of file. False + *why on an
  // I/O error.
  PVX_OP bool Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                   Failure* why) PVX_PURE;
  // Writes all n bytes. False + *why (a full disk, an I/O error).
  PVX_OP bool Write(FileHandle f, const void* buf, uint32_t n,
                    Failure* why) PVX_PURE;
  // Moves up to n bytes from src to dst, through buf unless the platform has
  // a faster way. *got is what was read from src (0 at its end). False + *why
  // names whichever file failed.
  // (CopyByReadWrite below is the plain way.)
  PVX_OP bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
                   uint32_t* got, Failure* why) PVX_PURE;
  // True when both handles are open on one and the same file.
  PVX_OP bool SameFile(FileHandle a, FileHandle b) PVX_PURE;
  // True when path, a final symbolic link not followed, names the file f is
  // open on. False when it names another entry or none.
  PVX_OP bool IsFileAt(FileHandle f, const char* path) PVX_PURE;
  // The engines copy in chunks of this many bytes through this buffer;
  // after each chunk the position moves and Cancel is checked.
  PVX_OP uint32_t ChunkSize() PVX_PURE;
  PVX_OP uint8_t* ChunkBuffer() PVX_PURE;
  // Closes the file; null is ignored. Never fails.
  PVX_OP void Close(FileHandle f) PVX_PURE;
  // The path f stands under now, for messages (an output the platform
  // writes under another name until Commit: that name). "" for null.
  PVX_OP const char* PathOf(FileHandle f) PVX_PURE;
  // Standard input, to be read as a stream with ReadStream and compared
  // with files (SameFile, IsFileAt); outputs opened like it take its bits.
  // Null + *why when it is closed. (Only parvex cuts a stream.)
  PVX_OP FileHandle OpenStandardInput(Failure* why) PVX_PURE;
  // Reads up to n bytes of the stream f as they arrive, waiting for them.
  // *got is 0 at its end, and when the user pressed Cancel while it waited
  // (the next ProgressCheckCancel then says so). False + *why on an I/O
  // error.
  PVX_OP bool ReadStream(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                         Failure* why) PVX_PURE;
  // The most pieces this program's cut makes, from 2 up to the 10,000 a
  // set holds (kMaxSetPieces): a longer cut is refused. The own-input
  // guard of every engine looks for pieces up to this number too.
  PVX_OP int PieceLimit() PVX_PURE;

  // ---- names and folders --------------------------------------------------
  // True when a file or a folder of that name exists.
  PVX_OP bool Exists(const char* path) PVX_PURE;
  // True when path names an existing folder.
  PVX_OP bool IsFolder(const char* path) PVX_PURE;
  // Creates one folder. False when it cannot.
  PVX_OP bool MakeFolder(const char* path) PVX_PURE;
  // True when a file created under name (a plain name, no folder) is a
  // file of exactly that name, not a device or a name the system trims.
  PVX_OP bool AcceptsName(const char* name) PVX_PURE;
  // A local (UTF-8) file name to the header's code page 932 bytes,
  // NUL-terminated. False when the name has no code page 932 form or the
  // result does not fit in cap bytes.
  PVX_OP bool ToHeaderName(const char* name, char* out, size_t cap) PVX_PURE;
  // The stand-in for a name without a code page 932 form: the code page 932
  // form of each of its characters, "_" for each that has none. False when
  // the name is not valid UTF-8 or the result does not fit in cap bytes.
  PVX_OP bool ToHeaderStandIn(const char* name, char* out, size_t cap)
      PVX_PURE;
  // The header's code page 932 bytes to a local (UTF-8) name. False when the
  // bytes are not valid code page 932 or the result does not fit.
  PVX_OP bool FromHeaderName(const char* raw, char* out, size_t cap) PVX_PURE;
  // What a cut of this program writes beside a set besides its pieces, each
  // named after the set's stem: the suffixes one after another, each ending
  // in a NUL, the last one empty ("" when it writes nothing more).
  PVX_OP const char* Companions() PVX_PURE;
  // The stub program that heads a self-joining piece 0. False when this
  // program carries none.
  PVX_OP bool StubImage(const uint8_t** image, uint32_t* length) PVX_PURE;

  // ---- the user -----------------------------------------------------------
  PVX_OP Lang Language() PVX_PURE;
  // A notice the user acknowledges (OK). Never fails.
  PVX_OP void Notify(const char* text) PVX_PURE;
  // A question answered OK (true) or Cancel (false).
  PVX_OP bool Confirm(const char* text) PVX_PURE;
  // The question whether to replace the entry at path, with what the user
  // should know of that entry added where the platform knows more (that it
  // is a symbolic link, say). OK (true) or Cancel (false).
  PVX_OP bool ConfirmReplace(const char* path, const char* text) PVX_PURE;
  // Asks for the next disk and waits until the user says it is in. False
  // when the user cancelled instead.
  PVX_OP bool AwaitDisk(const char* text) PVX_PURE;

  // ---- the progress window ------------------------------------------------
  // Shows the window and disables the main window. False when it cannot be
  // shown; nothing is then disabled.
  PVX_OP bool ProgressCreate() PVX_PURE;
  PVX_OP void ProgressCaption(const char* text) PVX_PURE;
  PVX_OP void ProgressLabel(const char* text) PVX_PURE;
  // Position in 0..65535 (more when an operation overruns its plan).
  PVX_OP void ProgressPos(int pos) PVX_PURE;
  // True once for every press of Cancel (or Esc) since the last call.
  PVX_OP bool ProgressCheckCancel() PVX_PURE;
  // The work is done: the button becomes OK and text (the closing report)
  // stands in the percent line, the button changed first or last. The
  // engine then waits for the button (ProgressCheckCancel).
  PVX_OP void ProgressFinish(const char* text, bool button_first) PVX_PURE;
  // Closes the window and enables the main window again. Safe to repeat.
  PVX_OP void ProgressDestroy() PVX_PURE;

 protected:
  ~Platform() {}
};

// Copy through buf: Read up to n bytes from src, then Write them to dst.
bool CopyByReadWrite(Platform& p, FileHandle src, FileHandle dst, void* buf,
                     uint32_t n, uint32_t* got, Failure* why);

}  // namespace pvx

// A build with one platform may define some operations inline here, where
// the engines see them (binding.h names the file).
#ifdef PVX_INLINE_OPS
#include PVX_INLINE_OPS
#endif
