#include "software/package_record.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "scan/xml_escape.h"

void WriteInstalled(std::ostream& out, const PackageRecord& r) {
  out << "\t\t<Installed ProductName=\"" << XmlEscaped(r.productName)
      << "\" VersionString=\"" << XmlEscaped(r.versionString)
      << "\" HelpLink=\"" << XmlEscaped(r.helpLink)
      << "\" InstallLocation=\"" << XmlEscaped(r.installLocation)
      << "\" InstallSource=\"" << XmlEscaped(r.installSource)
      << "\" InstallDate=\"" << XmlEscaped(r.installDate)
      << "\" Publisher=\"" << XmlEscaped(r.publisher)
      << "\" UseCount=\"\" LastUsed=\"\" UserName=\"" << XmlEscaped(r.userName)
      << "\" OrgName=\"\" Serial=\"\" />\r\n";
}

std::string FormatInstallDate(std::int32_t seconds) {
  const std::time_t when = seconds;
  std::tm local{};
  if (!localtime_r(&when, &local)) return {};
  char text[100];
  const size_t size = std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
  return std::string(text, size);
}

std::string ProgressLine(std::uint32_t counter, std::string_view escapedName) {
  constexpr size_t kWidth = 80;
  std::string number = std::to_string(counter);
  if (number.size() < 8) number.insert(0, 8 - number.size(), '0');
  std::string line = "\r" + number + " ";
  line.append(escapedName);
  line.append(70, ' ');
  line.resize(std::min(line.size(), kWidth));
  return line;
}
