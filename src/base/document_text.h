// The scan document's text. Every value goes into the document through
// here: the raw text of a probe or scanner becomes what stands between the
// double quotes of an attribute.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

// "&", "<", ">" and the double quote become entities; bytes XML 1.0 does not
// allow (controls other than tab, line feed and carriage return, and zero)
// become "?". Everything else is kept as it is.
std::string AttributeText(std::string_view raw);
void AppendAttributeText(std::string& out, std::string_view raw);

// The markup characters of `raw` escaped as AttributeText does, for the
// names of files that carry a value (the computer name).
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
