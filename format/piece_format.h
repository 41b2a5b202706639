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

extern const char kMagic[8];  // "@PARVEX " without a terminator

struct PieceHeader {
  uint16_t header_size;          // HeaderSize
  uint8_t name_is_whole;         // NameIsWhole
  uint32_t source_size;          // SourceSize
  char file_name[kHeaderNameCap];  // FileName, code page 932, terminated
};

// Builds the 284 bytes of a header: magic, HeaderSize 284, 2, NameIsWhole 1,
// 0xFF, SourceSize and FileName; every other byte is zero. False when the
// name does not fit the 264-byte field with its terminator.
bool BuildPieceHeader(uint8_t out[kHeaderSize], const char* cp932_name,
                      uint32_t source_size);
// Parses 284 header bytes. False when the magic does not match.
bool ParsePieceHeader(const uint8_t bytes[kHeaderSize], PieceHeader* out);

// Length of the program image at the start of image[0..length): the end of
// the raw data of the section where the walk over the section table stops.
// 0 when any step would read outside the image. The result may lie past
// length (a prefix of a file was given); callers compare it with what they
// hold.
uint32_t StubImageSize(const uint8_t* image, uint32_t length);

// "%s.c%02d" of base and k.
bool PieceName(char* out, size_t cap, const char* base, int k);
// The base of a self-joining set: "_s" + base, its first byte upper-cased
// when it is an ASCII letter.
bool SelfJoinBase(char* out, size_t cap, const char* base);

// True when name is safe to create inside a folder: not empty, not "." or
// "..", and free of "\", "/", ":" and control characters.
bool IsSafeFileName(const char* name);

}  // namespace pvx
