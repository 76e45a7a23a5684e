// Receiving the server's answer to the upload and judging it.
#pragma once

#include <string>
#include <string_view>

#include "upload/http_response_parser.h"
#include "upload/transport.h"

// Reads until the response is complete or malformed, or the connection
// closes, resets or times out; what arrived by then is the response.
HttpResponseParser ReceiveHttpResponse(Transport& in);

struct UploadVerdict {
  bool tagsFound = false;  // both result tags are in the body
  bool accepted = false;   // the status is 2xx
  bool ok = false;         // accepted, and the result text begins with "OK"
  std::string resultText;  // after <UploadFileResult>, closing tag included
};

// Judges a response by its status and its body as far as the first zero byte.
UploadVerdict JudgeHttpResponse(int status, std::string_view body);
