#include "files/file_row.h"

#include <charconv>

#include "base/document_text.h"
#include "base/hex.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;

struct CivilDate {
  int64_t year;
  unsigned month, day;
};

// The proleptic Gregorian date `days` after 1970-01-01 (before it when
// negative), by whole 400-year eras of 146,097 days, as gmtime counts.
constexpr CivilDate DateOfDay(int64_t days) {
  days += 719468;  // counted from 0000-03-01, so a leap day ends each year
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 is March
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2), month,
          dayOfYear - (153 * shiftedMonth + 2) / 5 + 1};
}

static_assert(DateOfDay(-1).year == 1969 && DateOfDay(-1).month == 12 && DateOfDay(-1).day == 31);
static_assert(DateOfDay(11016).month == 2 && DateOfDay(11016).day == 29);  // 2000-02-29

char* PutTwoDigits(char* out, unsigned value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

}  // namespace

void UtcText::Append(std::string& out, time_t when) {
  int64_t day = when / kSecondsPerDay;
  int64_t second = when % kSecondsPerDay;
  if (second < 0) {
    second += kSecondsPerDay;
    --day;
  }
  if (day != day_) {
    const CivilDate date = DateOfDay(day);
    if (date.year < 1000 || date.year > 9999) {
      // strftime's own way with years of other lengths, or nothing when
      // gmtime cannot hold the year.
      struct tm parts {};
      char text[64];
      if (gmtime_r(&when, &parts))
        out.append(text, strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts));
      return;
    }
    char* p = PutTwoDigits(date_, static_cast<unsigned>(date.year / 100));
    p = PutTwoDigits(p, static_cast<unsigned>(date.year % 100));
    *p++ = '-';
    p = PutTwoDigits(p, date.month);
    *p++ = '-';
    p = PutTwoDigits(p, date.day);
    *p = ' ';
    day_ = day;
  }
  const auto secondOfDay = static_cast<unsigned>(second);
  char time[8];
  PutTwoDigits(time, secondOfDay / 3600);
  time[2] = ':';
  PutTwoDigits(time + 3, secondOfDay / 60 % 60);
  time[5] = ':';
  PutTwoDigits(time + 6, secondOfDay % 60);
  out.append(date_, sizeof date_).append(time, sizeof time);
}

std::string_view RowDirectory(std::string_view directory) {
  if (!directory.empty() && directory.back() == '/') directory.remove_suffix(1);
  return directory;
}

const std::string& FileRowFormatter::TextOf(CachedText& cache, std::string_view raw) {
  if (raw != cache.raw) {
    cache.raw.assign(raw);
    cache.text.clear();
    AppendAttributeText(cache.text, raw);
  }
  return cache.text;
}

void FileRowFormatter::Append(std::string& line, const FileRow& row) {
  char size[24];
  const size_t sizeLength =
      static_cast<size_t>(std::to_chars(size, size + sizeof size, row.size).ptr - size);

  line += "\t\t<z:row c0=\"\" c1=\"\" c2=\"\" c3=\"\" c4=\"";
  AppendAttributeText(line, row.name);
  line += "\" c5=\"";
  line.append(size, sizeLength);
  line += "\" c6=\"";
  changed_.Append(line, row.changed);
  line += "\" c7=\"\" c8=\"";
  line += TextOf(owner_, row.owner);
  line += "\" c9=\"\" c10=\"\" c11=\"";
  line += TextOf(directory_, RowDirectory(row.directory));
  line += "\" c12=\"";
  modified_.Append(line, row.modified);
  line += "\" c13=\"\" c14=\"\" c15=\"";
  accessed_.Append(line, row.accessed);
  line += "\" c16=\"0\" c17=\"";
  if (row.crc != 0) {
    const unsigned char crc[] = {static_cast<unsigned char>(row.crc >> 24),
                                 static_cast<unsigned char>(row.crc >> 16),
                                 static_cast<unsigned char>(row.crc >> 8),
                                 static_cast<unsigned char>(row.crc)};
    AppendHex(line, crc, sizeof crc);
  }
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
