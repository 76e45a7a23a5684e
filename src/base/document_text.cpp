#include "base/document_text.h"

namespace {

bool ForbiddenInXml(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

}  // namespace

void AppendAttributeText(std::string& out, std::string_view raw) {
  for (char ch : raw) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += ForbiddenInXml(static_cast<unsigned char>(ch)) ? '?' : ch;
    }
  }
}

std::string AttributeText(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  AppendAttributeText(out, raw);
  return out;
}

std::string EscapeMarkup(std::string_view raw) { return AttributeText(raw); }

DocumentWriter& DocumentWriter::Attribute(std::string_view name, std::string_view raw) {
  value_.clear();
  AppendAttributeText(value_, raw);
  out_ << ' ' << name << "=\"" << value_ << '"';
  return *this;
}
