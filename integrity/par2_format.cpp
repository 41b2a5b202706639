#include "integrity/par2_format.h"

#include <openssl/evp.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace pvx::par2 {

const uint8_t kMagic[8] = {'P', 'A', 'R', '2', 0, 'P', 'K', 'T'};

namespace {

constexpr PacketType MakeType(const char (&s)[17]) {
  PacketType t{};
  for (size_t i = 0; i < 16; ++i) t[i] = static_cast<uint8_t>(s[i]);
  return t;
}

void PutU32(std::vector<uint8_t>* v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v->push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void PutU64(std::vector<uint8_t>* v, uint64_t x) {
  for (int i = 0; i < 8; ++i) v->push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void PutU64At(uint8_t* p, uint64_t x) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(x >> (8 * i));
}
void PutMd5(std::vector<uint8_t>* v, const Md5& m) {
  v->insert(v->end(), m.begin(), m.end());
}
uint32_t GetU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}
uint64_t GetU64(const uint8_t* p) {
  return uint64_t(GetU32(p)) | uint64_t(GetU32(p + 4)) << 32;
}
Md5 GetMd5(const uint8_t* p) {
  Md5 m;
  memcpy(m.data(), p, 16);
  return m;
}
void PadTo4(std::vector<uint8_t>* v) {
  while (v->size() % 4) v->push_back(0);
}

}  // namespace

const PacketType kMainType = MakeType("PAR 2.0\0Main\0\0\0\0");
const PacketType kFileDescType = MakeType("PAR 2.0\0FileDesc");
const PacketType kIfscType = MakeType("PAR 2.0\0IFSC\0\0\0\0");
const PacketType kRecoveryType = MakeType("PAR 2.0\0RecvSlic");
const PacketType kCreatorType = MakeType("PAR 2.0\0Creator\0");

// ---- MD5 and CRC-32 --------------------------------------------------------

Md5Hasher::Md5Hasher() : ctx_(EVP_MD_CTX_new()) {
  if (!ctx_ || EVP_DigestInit_ex(ctx_, EVP_md5(), nullptr) != 1) {
    EVP_MD_CTX_free(ctx_);
    throw std::runtime_error("libcrypto cannot start an MD5 digest");
  }
}
Md5Hasher::Md5Hasher(const Md5Hasher& other) : ctx_(EVP_MD_CTX_new()) {
  if (!ctx_ || EVP_MD_CTX_copy_ex(ctx_, other.ctx_) != 1) {
    EVP_MD_CTX_free(ctx_);
    throw std::runtime_error("libcrypto cannot copy an MD5 digest");
  }
}
Md5Hasher::~Md5Hasher() { EVP_MD_CTX_free(ctx_); }

void Md5Hasher::Update(const void* data, size_t len) {
  if (len && EVP_DigestUpdate(ctx_, data, len) != 1)
    throw std::runtime_error("libcrypto failed in an MD5 digest");
}
void Md5Hasher::UpdateZeros(uint64_t len) {
  static const uint8_t zeros[4096] = {};
  while (len) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(len, sizeof zeros));
    Update(zeros, n);
    len -= n;
  }
}
Md5 Md5Hasher::Final() {
  Md5 m;
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(ctx_, m.data(), &n) != 1 || n != m.size())
    throw std::runtime_error("libcrypto failed to finish an MD5 digest");
  return m;
}
Md5 Md5Hasher::Of(const void* data, size_t len) {
  Md5Hasher h;
  h.Update(data, len);
  return h.Final();
}

uint32_t Crc32(uint32_t crc, const void* data, size_t len) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (len) {
    uInt n = static_cast<uInt>(std::min<size_t>(len, 1u << 30));
    crc = static_cast<uint32_t>(crc32(crc, p, n));
    p += n;
    len -= n;
  }
  return crc;
}
uint32_t Crc32Zeros(uint32_t crc, uint64_t len) {
  static const uint8_t zeros[4096] = {};
  while (len) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(len, sizeof zeros));
    crc = Crc32(crc, zeros, n);
    len -= n;
  }
  return crc;
}

std::string ToHex(const Md5& m) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : m) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

// ---- packets -----------------------------------------------------------------

Md5 FileIdOf(const Md5& md5_16k, uint64_t length, std::string_view name) {
  std::vector<uint8_t> v;
  PutMd5(&v, md5_16k);
  PutU64(&v, length);
  v.insert(v.end(), name.begin(), name.end());
  return Md5Hasher::Of(v.data(), v.size());
}

bool FileIdLess(const Md5& a, const Md5& b) {
  for (int i = 15; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i];
  return false;
}

std::vector<uint8_t> MainBody(const MainPacket& p) {
  std::vector<uint8_t> v;
  PutU64(&v, p.slice_size);
  PutU32(&v, static_cast<uint32_t>(p.files.size()));
  for (const Md5& id : p.files) PutMd5(&v, id);
  for (const Md5& id : p.other_files) PutMd5(&v, id);
  return v;
}

std::vector<uint8_t> FileDescBody(const FileDescPacket& p) {
  std::vector<uint8_t> v;
  PutMd5(&v, p.file_id);
  PutMd5(&v, p.md5);
  PutMd5(&v, p.md5_16k);
  PutU64(&v, p.length);
  v.insert(v.end(), p.name.begin(), p.name.end());
  PadTo4(&v);
  return v;
}

std::vector<uint8_t> IfscBody(const IfscPacket& p) {
  std::vector<uint8_t> v;
  PutMd5(&v, p.file_id);
  for (const SliceCheck& s : p.slices) {
    PutMd5(&v, s.md5);
    PutU32(&v, s.crc);
  }
  return v;
}

std::vector<uint8_t> CreatorBody(std::string_view client) {
  std::vector<uint8_t> v(client.begin(), client.end());
  PadTo4(&v);
  return v;
}

Md5 SetIdOf(const std::vector<uint8_t>& main_body) {
  return Md5Hasher::Of(main_body.data(), main_body.size());
}

std::vector<uint8_t> Packet(const Md5& set_id, const PacketType& type,
                            std::vector<uint8_t> body) {
  PadTo4(&body);
  std::vector<uint8_t> v;
  v.reserve(kHeaderSize + body.size());
  v.resize(kHeaderSize);
  memcpy(v.data(), kMagic, 8);
  PutU64At(v.data() + 8, kHeaderSize + body.size());
  memcpy(v.data() + 32, set_id.data(), 16);
  memcpy(v.data() + 48, type.data(), 16);
  v.insert(v.end(), body.begin(), body.end());
  Md5 m = Md5Hasher::Of(v.data() + 32, v.size() - 32);
  memcpy(v.data() + 16, m.data(), 16);
  return v;
}

std::array<uint8_t, 36> RecoveryHashPrefix(const Md5& set_id,
                                           uint32_t exponent) {
  std::array<uint8_t, 36> a{};
  memcpy(a.data(), set_id.data(), 16);
  memcpy(a.data() + 16, kRecoveryType.data(), 16);
  for (int i = 0; i < 4; ++i) a[32 + i] = static_cast<uint8_t>(exponent >> (8 * i));
  return a;
}

std::array<uint8_t, kHeaderSize + 4> RecoveryHeader(const Md5& set_id,
                                                    uint32_t exponent,
                                                    uint64_t data_length,
                                                    const Md5& packet_md5) {
  std::array<uint8_t, kHeaderSize + 4> h{};
  memcpy(h.data(), kMagic, 8);
  PutU64At(h.data() + 8, kHeaderSize + 4 + data_length);
  memcpy(h.data() + 16, packet_md5.data(), 16);
  auto prefix = RecoveryHashPrefix(set_id, exponent);
  memcpy(h.data() + 32, prefix.data(), prefix.size());
  return h;
}

// ---- reading -------------------------------------------------------------------

bool MemorySource::Read(uint64_t off, void* buf, size_t len,
                        std::string* error) {
  if (off > size_ || len > size_ - off) {
    *error = "read past the end";
    return false;
  }
  if (len) memcpy(buf, data_ + off, len);
  return true;
}

namespace {

constexpr size_t kScanBlock = 1 << 20;

// The offset of the next magic at or after `from`, or src.Size().
bool FindMagic(ByteSource& src, uint64_t from, std::vector<uint8_t>& buf,
               uint64_t* at, std::string* error) {
  const uint64_t size = src.Size();
  while (from + sizeof kMagic <= size) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(kScanBlock, size - from));
    buf.resize(n);
    if (!src.Read(from, buf.data(), n, error)) return false;
    auto it = std::search(buf.begin(), buf.end(), kMagic, kMagic + 8);
    if (it != buf.end()) {
      *at = from + static_cast<uint64_t>(it - buf.begin());
      return true;
    }
    if (from + n >= size) break;
    from += n - (sizeof kMagic - 1);
  }
  *at = size;
  return true;
}

bool ParseMain(const uint8_t* b, uint64_t n, MainPacket* p) {
  if (n < 12 || (n - 12) % 16) return false;
  p->slice_size = GetU64(b);
  uint64_t count = GetU32(b + 8);
  uint64_t ids = (n - 12) / 16;
  if (p->slice_size == 0 || p->slice_size % 4 || count > ids) return false;
  for (uint64_t i = 0; i < ids; ++i)
    (i < count ? p->files : p->other_files).push_back(GetMd5(b + 12 + 16 * i));
  return true;
}

bool ParseFileDesc(const uint8_t* b, uint64_t n, FileDescPacket* p) {
  if (n < 56) return false;
  p->file_id = GetMd5(b);
  p->md5 = GetMd5(b + 16);
  p->md5_16k = GetMd5(b + 32);
  p->length = GetU64(b + 48);
  const char* name = reinterpret_cast<const char*>(b + 56);
  size_t len = static_cast<size_t>(n - 56);
  while (len && name[len - 1] == 0) --len;  // the padding
  p->name.assign(name, len);
  return !p->name.empty();
}

bool ParseIfsc(const uint8_t* b, uint64_t n, IfscPacket* p) {
  if (n < 16 || (n - 16) % 20) return false;
  p->file_id = GetMd5(b);
  for (uint64_t off = 16; off < n; off += 20) {
    SliceCheck c;
    c.md5 = GetMd5(b + off);
    c.crc = GetU32(b + off + 16);
    p->slices.push_back(c);
  }
  return true;
}

}  // namespace

bool ReadPackets(ByteSource& src, FileContents* out, std::string* error,
                 const std::function<bool()>& cancelled) {
  const uint64_t size = src.Size();
  std::vector<uint8_t> buf;
  uint64_t pos = 0;
  while (true) {
    if (cancelled && cancelled()) {
      *error = "cancelled";
      return false;
    }
    uint64_t at;
    if (!FindMagic(src, pos, buf, &at, error)) return false;
    if (at + kHeaderSize > size) {
      if (at < size) ++out->skipped;  // a header cut short
      return true;
    }
    uint8_t h[kHeaderSize];
    if (!src.Read(at, h, sizeof h, error)) return false;
    const uint64_t len = GetU64(h + 8);
    Md5 set_id = GetMd5(h + 32);
    PacketType type;
    memcpy(type.data(), h + 48, 16);
    const bool recovery = type == kRecoveryType;
    bool good = len >= kHeaderSize && len % 4 == 0 && len <= size - at &&
                (recovery ? len >= kHeaderSize + 4 : len <= kMaxSmallPacket);
    const uint64_t body_len = good ? len - kHeaderSize : 0;
    std::vector<uint8_t> body;
    if (good) {
      // The MD5 covers the header from the set id on, and the body.
      Md5Hasher md5;
      md5.Update(h + 32, 32);
      if (recovery) {
        uint64_t off = at + kHeaderSize;
        while (off < at + len) {
          size_t n = static_cast<size_t>(std::min<uint64_t>(kScanBlock, at + len - off));
          buf.resize(n);
          if (!src.Read(off, buf.data(), n, error)) return false;
          md5.Update(buf.data(), n);
          if (off == at + kHeaderSize) body.assign(buf.begin(), buf.begin() + 4);
          off += n;
        }
      } else {
        body.resize(static_cast<size_t>(body_len));
        if (!src.Read(at + kHeaderSize, body.data(), body.size(), error))
          return false;
        md5.Update(body.data(), body.size());
      }
      good = md5.Final() == GetMd5(h + 16);
    }
    if (good) {
      const uint8_t* b = body.data();
      if (type == kMainType) {
        MainPacket p;
        if ((good = ParseMain(b, body_len, &p))) out->mains.emplace_back(set_id, std::move(p));
      } else if (type == kFileDescType) {
        FileDescPacket p;
        if ((good = ParseFileDesc(b, body_len, &p))) out->descs.emplace_back(set_id, std::move(p));
      } else if (type == kIfscType) {
        IfscPacket p;
        if ((good = ParseIfsc(b, body_len, &p))) out->ifscs.emplace_back(set_id, std::move(p));
      } else if (recovery) {
        RecoveryRef r;
        r.exponent = GetU32(b);
        r.data_offset = at + kHeaderSize + 4;
        r.data_length = body_len - 4;
        out->recovery.emplace_back(set_id, r);
      } else if (type == kCreatorType) {
        size_t n = static_cast<size_t>(body_len);
        while (n && b[n - 1] == 0) --n;
        out->creators.emplace_back(set_id, std::string(reinterpret_cast<const char*>(b), n));
      }
    }
    if (good) {
      ++out->packets;
      pos = at + len;
    } else {
      ++out->skipped;
      pos = at + 1;  // resynchronise on the next magic
    }
  }
}

}  // namespace pvx::par2
