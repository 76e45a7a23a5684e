#include "agent/scan_document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

#include "base/fd_io.h"
#include "base/regular_file.h"
#include "base/unique_fd.h"

namespace {

enum class Kind { kString, kInt, kTimestamp, kDateTime };

struct Column {
  const char* baseColumn;
  bool named;  // carries rs:name
  Kind kind;
  int maxLength;  // for strings
};

constexpr std::array<Column, 18> kColumns{{
    {"Manufacturer", false, Kind::kString, 255},
    {"Product Name", true, Kind::kString, 255},
    {"Product Version", true, Kind::kString, 128},
    {"Language", false, Kind::kString, 128},
    {"File Name", true, Kind::kString, 255},
    {"File Size", true, Kind::kInt, 0},
    {"Directory File Time", true, Kind::kTimestamp, 0},
    {"Executable Type", true, Kind::kString, 16},
    {"Internal Name", true, Kind::kString, 128},
    {"Known As", true, Kind::kString, 128},
    {"File Description", true, Kind::kString, 255},
    {"File Path", true, Kind::kString, 255},
    {"File Modified Time", true, Kind::kTimestamp, 0},
    {"File Extension", true, Kind::kString, 20},
    {"Created", true, Kind::kDateTime, 0},
    {"Last Accessed", true, Kind::kDateTime, 0},
    {"Drive Type", true, Kind::kInt, 0},
    {"Crc", true, Kind::kInt, 0},
}};

std::string TypeAttributes(const Column& column) {
  switch (column.kind) {
    case Kind::kString:
      return "dt:type=\"string\" dt:maxLength=\"" + std::to_string(column.maxLength) + "\"";
    case Kind::kInt:
      return "dt:type=\"int\" dt:maxLength=\"4\" rs:precision=\"10\" rs:fixedlength=\"true\"";
    case Kind::kTimestamp:
      return "dt:type=\"dateTime\" rs:dbtype=\"timestamp\" dt:maxLength=\"16\" "
             "rs:scale=\"3\" rs:precision=\"23\" rs:fixedlength=\"true\"";
    case Kind::kDateTime:
      return "dt:type=\"dateTime\" dt:maxLength=\"20\"";
  }
  return {};
}

}  // namespace

void WriteDocumentHeader(DocumentWriter& document) {
  std::string out;
  out += "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
         "<InventoryClasses>\r\n"
         "<InventoryClass name='Brindle Tally' manufacturer='Mossgate' "
         "description='BrindleTally' version='8.9.00' Build='30' platform='UNIX'>\r\n"
         "<xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
         "xmlns:dt=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\" "
         "xmlns:rs=\"urn:schemas-microsoft-com:rowset\" xmlns:z=\"#RowsetSchema\">\r\n"
         "\t<s:Schema id=\"RowsetSchema\">\r\n"
         "\t\t<s:ElementType name=\"row\" content=\"eltOnly\" rs:updatable=\"true\">\r\n";
  for (size_t i = 0; i < kColumns.size(); ++i) {
    const Column& column = kColumns[i];
    out += "\t\t\t<s:AttributeType name=\"c" + std::to_string(i) + '"';
    if (column.named) out += std::string(" rs:name=\"") + column.baseColumn + '"';
    out += " rs:number=\"" + std::to_string(i + 1) +
           "\" rs:nullable=\"true\" rs:basetable=\"Win32_BrindleSW\" rs:basecolumn=\"" +
           column.baseColumn + "\">\r\n\t\t\t\t<s:datatype " + TypeAttributes(column) +
           "/>\r\n\t\t\t</s:AttributeType>\r\n";
  }
  out += "\t\t\t<s:extends type=\"rs:rowbase\"/>\r\n"
         "\t\t</s:ElementType>\r\n"
         "\t</s:Schema>\r\n"
         "\t<rs:data>\r\n";
  document.Markup(out);
}

void WriteSystemInfoStart(DocumentWriter& document, const SystemInfo& info) {
  document.Markup("<SystemInfo")
      .Attribute("ComputerName", info.computerName)
      .Markup(" ComputerUid=\"\"")
      .Attribute("ScanDate", info.scanDate)
      .Attribute("ScanDuration", info.scanDuration)
      .Attribute("UserName", info.userName)
      .Attribute("DomainName", info.domainName)
      .Markup(" PlatformID=\"0\" MajorVersion=\"0\" MinorVersion=\"0\" BuildNumberHigh=\"0\""
              " BuildNumberLow=\"0\" ProductType=\"UNIX\" ProductID=\"\"")
      .Attribute("System", info.system)
      .Attribute("CSDVersion", info.kernelRelease)
      .Attribute("CompileInfo", info.compileInfo)
      .Attribute("LanguageID", info.language)
      .Attribute("MACAddress", info.macAddress)
      .Attribute("IPAddress", info.ipAddress)
      .Attribute("PhysicalCpuCount", info.physicalCpuCount)
      .Attribute("LogicalCpuCount", info.logicalCpuCount)
      .Attribute("Virtual", info.hypervisor)
      .Markup(">\r\n");
}

void WriteHardwareInfo(DocumentWriter& document, const HardwareFacts& hardware) {
  document.Markup("<HardwareInfo")
      .Attribute("TotalMemory", hardware.memTotal)
      .Attribute("ProcessorFrequency", hardware.cpu.mhz)
      .Attribute("ProcessorType", hardware.cpu.type)
      .Markup(">\r\n");
  if (const auto& disk = hardware.disk) {
    document.Markup("\t<Harddisks>\r\n\t\t<IDE Pos=\"Primary\"")
        .Attribute("Model", disk->model)
        .Markup(" Revision=\"\"")
        .Attribute("Size", std::to_string(disk->sectors))
        .Markup(" Cache=\"\" Geometry=\"\"")
        .Attribute("Serial", disk->serial)
        .Markup("/>\r\n\t</Harddisks>\r\n");
  }
  document.Markup("</HardwareInfo>\r\n");
}

void CopyExtraDataFile(DocumentWriter& document, const std::string& path) {
  const auto fd = OpenRegularAt(AT_FDCWD, path.c_str(), OpenMode{.followLinks = true, .keepAccessTime = false});
  if (!fd) return;
  std::array<char, 64 * 1024> buffer;
  for (ssize_t n; (n = ReadRetrying(fd->Get(), buffer.data(), buffer.size())) > 0;) {
    document.Verbatim(buffer.data(), static_cast<size_t>(n));
  }
}
