#include "scan/xml_escape.h"

namespace {

bool ForbiddenInXml(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

bool NeedsEscape(unsigned char c) {
  return c == '&' || c == '<' || c == '>' || c == '"' || ForbiddenInXml(c);
}

}  // namespace

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        out += ForbiddenInXml(static_cast<unsigned char>(ch)) ? '?' : ch;
    }
  }
  return out;
}

void XmlReplaceChars(std::string& text) {
  for (char ch : text) {
    if (NeedsEscape(static_cast<unsigned char>(ch))) {
      text = XmlEscaped(text);
      return;
    }
  }
}
