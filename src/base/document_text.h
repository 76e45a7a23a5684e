// The scan document's text. Every value goes into the document through
// here: the raw text of a probe or scanner becomes what stands between the
// double quotes of an attribute.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

// The document is declared windows-1250; the host's text is UTF-8. A
// character windows-1250 has becomes its byte, any other a numeric character
// reference ("&#38515;"), and each byte that is not part of valid UTF-8 "?".
// "&", "<", ">" and the double quote become entities; tab, line feed and
// carriage return become references, so that a parser keeps them; code points
// XML 1.0 does not allow (other controls, zero, U+FFFE, U+FFFF) become "?".
// Printable ASCII is kept as it is.
std::string AttributeText(std::string_view raw);
void AppendAttributeText(std::string& out, std::string_view raw);

// For text that stays outside the document, in the host's own encoding (the
// names of files that carry a value, the console): "&", "<", ">" and the
// double quote become entities, controls other than tab, line feed and
// carriage return and zero become "?", every other byte is kept.
std::string EscapeMarkup(std::string_view raw);

// Writes the document: markup as it stands, values only as AttributeText.
class DocumentWriter {
 public:
  explicit DocumentWriter(std::ostream& out) : out_(out) {}

  DocumentWriter& Markup(std::string_view markup) {
    out_.write(markup.data(), static_cast<std::streamsize>(markup.size()));
    return *this;
  }
  // ` name="value"`.
  DocumentWriter& Attribute(std::string_view name, std::string_view raw);
  // Bytes copied verbatim from elsewhere (the extra data file).
  DocumentWriter& Verbatim(const char* data, size_t size) {
    out_.write(data, static_cast<std::streamsize>(size));
    return *this;
  }

 private:
  std::ostream& out_;
  std::string value_;  // reused for every attribute
};
