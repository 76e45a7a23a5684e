// The fixed texts of the scan file: the header with the rowset schema, the
// SystemInfo start tag, the closing lines, and the extra data file copied in.
#pragma once

#include <ostream>
#include <string>

// The document start up to and including the line "\t<rs:data>".
void WriteDocumentHeader(std::ostream& out);

// Closes the rowset and the inventory class.
inline constexpr char kRowsetEnd[] = "\t</rs:data>\r\n</xml>\r\n</InventoryClass>\r\n";
inline constexpr char kEmptyDriveLists[] =
    "\t<LogicalDrives></LogicalDrives>\r\n\t<RegSWFiles></RegSWFiles>\r\n";
inline constexpr char kSystemInfoEnd[] = "</SystemInfo>\r\n";
inline constexpr char kDocumentEnd[] = "</InventoryClasses>\r\n";

// Identity values as the run holds them. The probes escape most of them;
// the writer escapes the rest (language, OS description, CPU cores and the
// hypervisor signature), which changes nothing for ordinary values.
struct SystemInfo {
  std::string computerName;
  std::string scanDate;
  std::string scanDuration;
  std::string userName;
  std::string domainName;
  std::string system;
  std::string kernelRelease;
  std::string compileInfo;
  std::string language;
  std::string macAddress;
  std::string ipAddress;
  std::string physicalCpuCount;
  std::string logicalCpuCount;
  std::string hypervisor;
};

// The one-line SystemInfo start tag with its 22 attributes.
void WriteSystemInfoStart(std::ostream& out, const SystemInfo& info);

// Copies the regular file at `path` into `out` byte for byte. Nothing is
// written when it is absent, empty or not a regular file.
void CopyExtraDataFile(std::ostream& out, const std::string& path);
