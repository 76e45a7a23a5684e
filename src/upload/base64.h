// Base64 (RFC 4648 alphabet, "=" padding, no line breaks) with buffers that
// grow in 4096-byte steps and are reused across calls.
#pragma once

#include <cstdint>
#include <memory>

class CBase64 {
 public:
  struct TempBucket {
    unsigned char m_Bytes[4] = {0, 0, 0, 0};
    unsigned char m_nCount = 0;
    void Clear() { m_nCount = 0; }
  };

  CBase64() = default;
  virtual ~CBase64() = default;
  CBase64(const CBase64&) = delete;
  CBase64& operator=(const CBase64&) = delete;

  virtual void Encode(const unsigned char* data, unsigned long size);
  virtual void Decode(const unsigned char* data, unsigned long size);
  virtual void Encode(const char* text);  // a null pointer changes nothing
  virtual void Decode(const char* text);
  virtual const unsigned char* DecodedMessage() const { return m_pDecoded.get(); }
  virtual const unsigned char* EncodedMessage() const { return m_pEncoded.get(); }
  virtual void AllocEncode(unsigned long size);
  virtual void AllocDecode(unsigned long size);
  virtual void SetEncodeBuffer(const unsigned char* data, unsigned long size);
  virtual void SetDecodeBuffer(const unsigned char* data, unsigned long size);

  uint64_t m_nDecodedCapacity = 0;
  uint64_t m_nEncodedCapacity = 0;
  uint64_t m_nDecodedLength = 0;
  uint64_t m_nEncodedLength = 0;

 protected:
  virtual void _EncodeToBuffer(const TempBucket& group, unsigned char* out);
  virtual uint64_t _DecodeToBuffer(const TempBucket& group, unsigned char* out);
  virtual void _EncodeRaw(TempBucket& out, const TempBucket& in);
  virtual void _DecodeRaw(TempBucket& out, const TempBucket& in);
  virtual bool _IsBadMimeChar(unsigned char byte);
  static void _Init();

  std::unique_ptr<unsigned char[]> m_pDecoded;
  std::unique_ptr<unsigned char[]> m_pEncoded;

  static unsigned char m_DecodeTable[256];
  static bool m_Init;
};

// Characters of the Base64 text of `size` bytes.
constexpr uint64_t Base64Length(uint64_t size) { return (size + 2) / 3 * 4; }
