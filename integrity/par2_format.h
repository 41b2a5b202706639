// The PAR 2.0 format: packets, their bytes, and a reader that survives any
// input. Every packet starts with a 64-byte header (the magic, the length
// of the whole packet, the MD5 of everything after the MD5 field, the
// recovery set id and the packet type) followed by a body whose length is
// a multiple of 4. Numbers are little-endian.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct evp_md_ctx_st;  // EVP_MD_CTX, kept out of this header

namespace pvx::par2 {

using Md5 = std::array<uint8_t, 16>;
using PacketType = std::array<uint8_t, 16>;

constexpr size_t kHeaderSize = 64;
constexpr uint64_t kMaxInputSlices = 32768;
// The largest packet other than a recovery slice that we load: an IFSC
// packet for 32768 slices is 640 KiB; names are short.
constexpr uint64_t kMaxSmallPacket = 4u << 20;

extern const uint8_t kMagic[8];
extern const PacketType kMainType, kFileDescType, kIfscType, kRecoveryType,
    kCreatorType;

// One running MD5 (libcrypto's EVP interface). Throws std::runtime_error
// when libcrypto fails.
class Md5Hasher {
 public:
  Md5Hasher();
  ~Md5Hasher();
  Md5Hasher(const Md5Hasher& other);
  Md5Hasher& operator=(const Md5Hasher&) = delete;
  void Update(const void* data, size_t len);
  void UpdateZeros(uint64_t len);
  Md5 Final();  // the digest; the hasher is then spent
  static Md5 Of(const void* data, size_t len);

 private:
  evp_md_ctx_st* ctx_;
};

// CRC-32 (zlib's), continued from crc (0 to start).
uint32_t Crc32(uint32_t crc, const void* data, size_t len);
uint32_t Crc32Zeros(uint32_t crc, uint64_t len);

std::string ToHex(const Md5& m);

// The checks of one input slice, as the IFSC packet holds them.
struct SliceCheck {
  Md5 md5{};
  uint32_t crc = 0;
  bool operator==(const SliceCheck& o) const {
    return md5 == o.md5 && crc == o.crc;
  }
};

struct MainPacket {
  uint64_t slice_size = 0;
  std::vector<Md5> files;        // the recovery set, in slice order
  std::vector<Md5> other_files;  // described but not protected
};

struct FileDescPacket {
  Md5 file_id{};
  Md5 md5{};       // of the whole file
  Md5 md5_16k{};   // of its first 16 KiB
  uint64_t length = 0;
  std::string name;
};

struct IfscPacket {
  Md5 file_id{};
  std::vector<SliceCheck> slices;
};

// A recovery slice as found in a file: its data stays on disk.
struct RecoveryRef {
  uint32_t exponent = 0;
  uint64_t data_offset = 0;  // of the slice data in the file
  uint64_t data_length = 0;
};

// The File ID of a file: MD5 of (MD5 of its first 16 KiB, length, name).
Md5 FileIdOf(const Md5& md5_16k, uint64_t length, std::string_view name);
// The order of File IDs in the Main packet (16-byte little-endian numbers).
bool FileIdLess(const Md5& a, const Md5& b);

// Packet bodies (without the header).
std::vector<uint8_t> MainBody(const MainPacket& p);
std::vector<uint8_t> FileDescBody(const FileDescPacket& p);
std::vector<uint8_t> IfscBody(const IfscPacket& p);
std::vector<uint8_t> CreatorBody(std::string_view client);
// The recovery set id: the MD5 of the Main packet's body.
Md5 SetIdOf(const std::vector<uint8_t>& main_body);

// A whole packet: header then body (padded to a multiple of 4).
std::vector<uint8_t> Packet(const Md5& set_id, const PacketType& type,
                            std::vector<uint8_t> body);
// The header of a recovery slice packet and its exponent field, once the
// MD5 of its set id, type, exponent and data is known.
std::array<uint8_t, kHeaderSize + 4> RecoveryHeader(const Md5& set_id,
                                                    uint32_t exponent,
                                                    uint64_t data_length,
                                                    const Md5& packet_md5);
// The bytes a recovery packet's MD5 starts with (set id, type, exponent).
std::array<uint8_t, 36> RecoveryHashPrefix(const Md5& set_id,
                                           uint32_t exponent);

// Where a reader gets bytes: a file, or memory (the fuzz target).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly len bytes at off; false with *error set otherwise.
  virtual bool Read(uint64_t off, void* buf, size_t len,
                    std::string* error) = 0;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t off, void* buf, size_t len, std::string* error) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Everything read from one PAR2 file. Packets whose MD5 does not match,
// whose length runs past the end or is impossible, or whose body does not
// parse are skipped (counted in `skipped`); reading goes on at the next
// magic.
struct FileContents {
  struct Entry {
    Md5 set_id{};
    PacketType type{};
  };
  std::vector<std::pair<Md5, MainPacket>> mains;
  std::vector<std::pair<Md5, FileDescPacket>> descs;
  std::vector<std::pair<Md5, IfscPacket>> ifscs;
  std::vector<std::pair<Md5, RecoveryRef>> recovery;
  std::vector<std::pair<Md5, std::string>> creators;
  uint32_t packets = 0;  // good packets, of any type
  uint32_t skipped = 0;  // damaged or unreadable ones
};

// Reads every packet of src. False (with *error) only when src itself
// fails to read; damage in the packets is not an error.
bool ReadPackets(ByteSource& src, FileContents* out, std::string* error,
                 const std::function<bool()>& cancelled = {});

}  // namespace pvx::par2
