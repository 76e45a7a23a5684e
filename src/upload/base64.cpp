#include "upload/base64.h"

#include <cstring>

namespace {
constexpr char Base64Digits[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kNotBase64 = 0xFE;
constexpr unsigned char kPadding = 0xFF;

// Makes `buffer` hold at least `size` bytes, growing in whole pages.
void Reserve(std::unique_ptr<unsigned char[]>& buffer, uint64_t& capacity, unsigned long size) {
  if (capacity >= size) return;
  buffer.reset();
  capacity = (size / 4096 + 1) * 4096;
  buffer.reset(new unsigned char[capacity]);
}
}  // namespace

unsigned char CBase64::m_DecodeTable[256];
bool CBase64::m_Init = false;

void CBase64::AllocEncode(unsigned long size) {
  Reserve(m_pEncoded, m_nEncodedCapacity, size);
  m_nEncodedLength = 0;
}

void CBase64::AllocDecode(unsigned long size) {
  Reserve(m_pDecoded, m_nDecodedCapacity, size);
  m_nDecodedLength = 0;
}

void CBase64::SetDecodeBuffer(const unsigned char* data, unsigned long size) {
  AllocDecode(size);
  if (size > 0) std::memcpy(m_pDecoded.get(), data, size);
  m_nDecodedLength = size;
}

void CBase64::SetEncodeBuffer(const unsigned char* data, unsigned long size) {
  AllocEncode(size);
  for (unsigned long i = 0; i < size; ++i) {
    if (!_IsBadMimeChar(data[i])) m_pEncoded[m_nEncodedLength++] = data[i];
  }
}

void CBase64::Encode(const unsigned char* data, unsigned long size) {
  SetDecodeBuffer(data, size);
  AllocEncode(2 * size);
  const unsigned char* in = m_pDecoded.get();
  TempBucket raw;
  unsigned long i = 0;
  for (; i + 3 <= size; i += 3) {
    raw.m_Bytes[0] = in[i];
    raw.m_Bytes[1] = in[i + 1];
    raw.m_Bytes[2] = in[i + 2];
    raw.m_Bytes[3] = 0;
    raw.m_nCount = 3;
    _EncodeToBuffer(raw, m_pEncoded.get() + m_nEncodedLength);
    m_nEncodedLength += 4;
  }
  if (i < size) {
    raw.Clear();
    std::memset(raw.m_Bytes, 0, sizeof raw.m_Bytes);
    for (; i < size; ++i) raw.m_Bytes[raw.m_nCount++] = in[i];
    _EncodeToBuffer(raw, m_pEncoded.get() + m_nEncodedLength);
    m_nEncodedLength += 4;
  }
}

void CBase64::Encode(const char* text) {
  if (text) Encode(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

void CBase64::Decode(const char* text) {
  if (text) Decode(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

void CBase64::_Init() {
  std::memset(m_DecodeTable, kNotBase64, sizeof m_DecodeTable);
  for (unsigned char v = 0; v < 64; ++v) {
    const auto c = static_cast<unsigned char>(Base64Digits[v]);
    m_DecodeTable[c] = v;
    m_DecodeTable[c | 0x80] = v;
  }
  m_DecodeTable['='] = kPadding;
  m_DecodeTable['=' | 0x80] = kPadding;
  m_Init = true;
}

void CBase64::Decode(const unsigned char* data, unsigned long size) {
  if (!m_Init) _Init();
  SetEncodeBuffer(data, size);
  AllocDecode(size);
  const unsigned char* text = m_pEncoded.get();
  const uint64_t length = m_nEncodedLength;
  // Characters outside the alphabet, and padding where no padding belongs,
  // count as the value 0: decoding stays defined for any input.
  auto value = [](unsigned char c) {
    const unsigned char v = m_DecodeTable[c];
    return v >= 64 ? static_cast<unsigned char>(0) : v;
  };
  TempBucket group;
  uint64_t i = 0;
  for (; i + 4 <= length; i += 4) {
    for (int k = 0; k < 4; ++k) group.m_Bytes[k] = value(text[i + k]);
    group.m_nCount = 4;
    _DecodeToBuffer(group, m_pDecoded.get() + m_nDecodedLength);
    const int pads = (m_DecodeTable[text[i + 2]] == kPadding) +
                     (m_DecodeTable[text[i + 3]] == kPadding);
    m_nDecodedLength += 3 - pads;
  }
  const uint64_t rest = length - i;
  if (rest > 0) {
    std::memset(group.m_Bytes, 0, sizeof group.m_Bytes);
    for (uint64_t k = 0; k < rest; ++k) group.m_Bytes[k] = value(text[i + k]);
    group.m_nCount = static_cast<unsigned char>(rest);
    _DecodeToBuffer(group, m_pDecoded.get() + m_nDecodedLength);
    m_nDecodedLength += rest - 1;
  }
}

void CBase64::_EncodeRaw(TempBucket& out, const TempBucket& in) {
  const unsigned char* b = in.m_Bytes;
  out.m_Bytes[0] = b[0] >> 2;
  out.m_Bytes[1] = ((b[0] << 4) | (b[1] >> 4)) & 0x3F;
  out.m_Bytes[2] = ((b[1] << 2) | (b[2] >> 6)) & 0x3F;
  out.m_Bytes[3] = b[2] & 0x3F;
  out.m_nCount = 4;
}

void CBase64::_EncodeToBuffer(const TempBucket& group, unsigned char* out) {
  TempBucket values;
  _EncodeRaw(values, group);
  for (int k = 0; k < 4; ++k) out[k] = static_cast<unsigned char>(Base64Digits[values.m_Bytes[k]]);
  if (group.m_nCount == 1) out[2] = out[3] = '=';
  if (group.m_nCount == 2) out[3] = '=';
}

void CBase64::_DecodeRaw(TempBucket& out, const TempBucket& in) {
  const unsigned char* v = in.m_Bytes;
  out.m_Bytes[0] = static_cast<unsigned char>((v[0] << 2) | ((v[1] >> 4) & 3));
  out.m_Bytes[1] = static_cast<unsigned char>((v[1] << 4) | ((v[2] >> 2) & 0x0F));
  out.m_Bytes[2] = static_cast<unsigned char>((v[2] << 6) | (v[3] & 0x3F));
  out.m_Bytes[3] = 0;
  out.m_nCount = 3;
}

uint64_t CBase64::_DecodeToBuffer(const TempBucket& group, unsigned char* out) {
  TempBucket bytes;
  _DecodeRaw(bytes, group);
  uint64_t count = 0;
  for (int k = 0; k < 3; ++k) {
    out[k] = bytes.m_Bytes[k];
    if (out[k] != 0xFF) ++count;
  }
  return count;
}

bool CBase64::_IsBadMimeChar(unsigned char byte) {
  return (byte >= 7 && byte <= 13) || byte == 32;
}
