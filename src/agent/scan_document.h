// The scan document's own parts: the header with the rowset schema, the
// SystemInfo start tag, the HardwareInfo element, the closing lines, and the
// extra data file copied in.
#pragma once

#include <string>

#include "base/document_text.h"
#include "host/hardware.h"

// The document start up to and including the line "\t<rs:data>".
void WriteDocumentHeader(DocumentWriter& document);

// Closes the rowset and the inventory class.
inline constexpr char kRowsetEnd[] = "\t</rs:data>\r\n</xml>\r\n</InventoryClass>\r\n";
inline constexpr char kEmptyDriveLists[] =
    "\t<LogicalDrives></LogicalDrives>\r\n\t<RegSWFiles></RegSWFiles>\r\n";
inline constexpr char kSystemInfoEnd[] = "</SystemInfo>\r\n";
inline constexpr char kDocumentEnd[] = "</InventoryClasses>\r\n";

// The identity values of the SystemInfo tag, raw.
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
void WriteSystemInfoStart(DocumentWriter& document, const SystemInfo& info);

// The HardwareInfo element; a disk that answered adds the Harddisks block.
void WriteHardwareInfo(DocumentWriter& document, const HardwareFacts& hardware);

// Copies the regular file at `path` into the document byte for byte.
// Nothing is written when it is absent, empty or not a regular file.
void CopyExtraDataFile(DocumentWriter& document, const std::string& path);
