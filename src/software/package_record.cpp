#include "software/package_record.h"

#include <algorithm>
#include <ctime>
#include <string>


void WriteInstalled(DocumentWriter& document, const PackageRecord& r) {
  document.Markup("\t\t<Installed")
      .Attribute("ProductName", r.productName)
      .Attribute("VersionString", r.versionString)
      .Attribute("HelpLink", r.helpLink)
      .Attribute("InstallLocation", r.installLocation)
      .Attribute("InstallSource", r.installSource)
      .Attribute("InstallDate", r.installDate)
      .Attribute("Publisher", r.publisher)
      .Markup(" UseCount=\"\" LastUsed=\"\"")
      .Attribute("UserName", r.userName)
      .Markup(" OrgName=\"\" Serial=\"\" />\r\n");
}

std::string FormatInstallDate(std::int32_t seconds) {
  const std::time_t when = seconds;
  std::tm local{};
  if (!localtime_r(&when, &local)) return {};
  char text[100];
  const size_t size = std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local);
  return std::string(text, size);
}

