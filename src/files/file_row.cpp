#include "files/file_row.h"

#include <cinttypes>
#include <cstdio>

#include "base/document_text.h"

std::string FormatUtc(time_t when) {
  struct tm parts {};
  if (!gmtime_r(&when, &parts)) return {};
  char text[100];
  const size_t n = strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return std::string(text, n);
}

std::string_view RowDirectory(std::string_view directory) {
  if (!directory.empty() && directory.back() == '/') directory.remove_suffix(1);
  return directory;
}

void AppendFileRow(std::string& line, const FileRow& row) {
  char size[24];
  std::snprintf(size, sizeof size, "%" PRId64, row.size);
  char crc[16] = "";
  if (row.crc != 0) std::snprintf(crc, sizeof crc, "%08X", row.crc);

  line += "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"";
  AppendAttributeText(line, row.name);
  line += "\" c5=\"";
  line += size;
  line += "\" c6=\"";
  line += FormatUtc(row.changed);
  line += "\" c7=\"\" c8=\"";
  AppendAttributeText(line, row.owner);
  line += "\" c9=\"\" c10=\"\" c11=\"";
  AppendAttributeText(line, RowDirectory(row.directory));
  line += "\" c12=\"";
  line += FormatUtc(row.modified);
  line += "\" c13=\"\" c14=\"\" c15=\"";
  line += FormatUtc(row.accessed);
  line += "\" c16=\"0\" c17=\"";
  line += crc;
  line += "\"/>\r\n";
}

namespace {

constexpr unsigned char kElfAbiSystemV = 0;
constexpr unsigned char kElfAbiGnu = 3;

}  // namespace

bool IsElfHeader(const unsigned char* data, long size) {
  return size > 8 && data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F' &&
         (data[4] == 1 || data[4] == 2) && (data[5] == 1 || data[5] == 2) && data[6] == 1 &&
         (data[7] == kElfAbiSystemV || data[7] == kElfAbiGnu);
}
