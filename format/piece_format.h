// The piece set format: piece names, the 284-byte header at the start of
// piece 0's data, the length of the stub image in front of a self-joining
// piece 0, and the path helpers every engine shares.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "base/base.h"

namespace pvx {

constexpr uint32_t kHeaderSize = 284;       // bytes of a PieceHeader
constexpr uint32_t kHeaderNameCap = 264;    // FileName field, with its NUL
constexpr uint32_t kSize144 = 1457664;      // "1.44M"
constexpr uint32_t kSize125 = 1250304;      // "1.25M"
constexpr int kMaxPieces = 100;             // a cut completes with c00..c99
constexpr int kMaxSetPieces = 10000;        // the most a set holds: c9999

extern const char kMagic[8];       // "@PARVEX " without a terminator
extern const char kMagicLarge[8];  // "@PARVEX+": a source of 4 GiB or more

// The extension record that may follow FileName's NUL (doc/format.md):
// "PVXE", version 1, the 64-bit size, n, n bytes of the exact UTF-8 name,
// the CRC-32 of all of that. 18 bytes besides the name.
constexpr uint32_t kRecordFixed = 18;
// FileName's bytes (without the NUL) and the exact name's bytes together,
// at most, in a header that carries the record: 264 - 1 - 18.
constexpr uint32_t kRecordNameRoom = kHeaderNameCap - 1 - kRecordFixed;
// An exact name of up to this many UTF-8 bytes always fits beside its
// stand-in: no character's code page 932 form, and no "_", is longer than
// its UTF-8 form.
constexpr uint32_t kLongestRecordedName = kRecordNameRoom / 2;

// What a header holds beyond the classic fields.
enum class HeaderForm : uint8_t {
  kClassic = 0,  // "@PARVEX ", no record: FileName and SourceSize say it all
  kRecord = 1,   // "@PARVEX " with a record (an exact name)
  kLarge = 2,    // "@PARVEX+": the record carries the size
};

struct PieceHeader {
  uint16_t header_size;          // HeaderSize
  uint8_t name_is_whole;         // NameIsWhole
  uint32_t source_size;          // SourceSize: the low 32 bits of size
  char file_name[kHeaderNameCap];  // FileName, code page 932, terminated
  HeaderForm form;
  uint64_t size;                 // the source's full size
  // The exact name (UTF-8, terminated) when a record carries one, else
  // empty: FileName is then the name.
  char exact_name[kRecordNameRoom + 1];
};

// Builds the 284 bytes of a classic header: magic, HeaderSize 284, 2,
// NameIsWhole 1, 0xFF, SourceSize and FileName; every other byte is zero.
// False when the name does not fit the 264-byte field with its terminator.
bool BuildPieceHeader(uint8_t out[kHeaderSize], const char* cp932_name,
                      uint32_t source_size);

enum class HeaderBuild {
  kOk,
  kNameTooLong,    // header_name does not fit FileName (263 bytes at most)
  kRecordTooLong,  // FileName and the record do not fit: see
                   // kRecordNameRoom, RecordNameRoom
};
// Builds the header for a source of source_size bytes named exact_name
// (UTF-8), whose FileName bytes are header_name: its code page 932 form
// (header_name_exact) or its stand-in. A source below 4 GiB with an exact
// FileName gets the classic header, byte for byte; any other gets the
// record after FileName's NUL, under "@PARVEX+" from 4 GiB on. out is
// undefined unless kOk.
HeaderBuild BuildPieceHeader(uint8_t out[kHeaderSize], const char* exact_name,
                             const char* header_name, bool header_name_exact,
                             uint64_t source_size);
// The longest exact name, in UTF-8 bytes, that fits in a record beside
// header_name (a stand-in); 0 when none does.
uint32_t RecordNameRoom(const char* header_name);

// Parses 284 header bytes: classic, with a valid record, or large. False
// when the magic is neither, or a "@PARVEX+" header lacks a valid record
// or its SourceSize is not the record size's low 32 bits. A "@PARVEX "
// header whose bytes after the NUL are not a valid record, or whose record
// size differs from SourceSize, reads as classic.
bool ParsePieceHeader(const uint8_t bytes[kHeaderSize], PieceHeader* out);

// Length of the program image at the start of image[0..length): the end of
// the raw data of the section where the walk over the section table stops.
// 0 when any step would read outside the image. The result may lie past
// length (a prefix of a file was given); callers compare it with what they
// hold.
uint32_t StubImageSize(const uint8_t* image, uint32_t length);

// "%s.c%02d" of base and k: base.c00 .. base.c99, base.c100 .. base.c9999.
bool PieceName(char* out, size_t cap, const char* base, int k);
// The base of a self-joining set: "_s" + base, its first byte upper-cased
// when it is an ASCII letter.
bool SelfJoinBase(char* out, size_t cap, const char* base);

// True when name is safe to create inside a folder: not empty, not "." or
// "..", and free of "\", "/", ":" and control characters.
bool IsSafeFileName(const char* name);

}  // namespace pvx
