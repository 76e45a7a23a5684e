// Receiving the server's answer to the upload (bounded) and judging it.
#pragma once

#include <string>

#include "upload/transport.h"

// The most the response may hold; reading stops there.
inline constexpr size_t kMaxResponseBytes = 99999;
// Bodies announced longer than this are not read.
inline constexpr unsigned kMaxResponseBody = 94999;

// Reads the header byte by byte up to its blank line, then the announced
// Content-Length (1 to kMaxResponseBody bytes), or else everything up to the
// close. Never more than kMaxResponseBytes in all.
std::string ReceiveHttpResponse(Transport& in);

struct UploadVerdict {
  bool tagsFound = false;   // both result tags are there
  bool ok = false;          // the result text begins with "OK"
  std::string resultText;   // after <UploadFileResult>, closing tag included
};

// Judges the response text as far as its first zero byte.
UploadVerdict JudgeHttpResponse(const std::string& response);
