#include "config/settings.h"

#include "config/password_cipher.h"

const std::vector<std::string>& DefaultIgnoredFileSystems() {
  static const std::vector<std::string> kTypes = {
      "nfs",    "nfs4",   "cifs", "smb3",  "smbfs", "ncpfs", "afs",    "coda",    "9p",   "ceph",
      "glusterfs", "lustre", "gpfs", "ocfs2", "gfs2", "beegfs", "autofs", "overlay", "fuse", "fuse.*"};
  return kTypes;
}

namespace {

// The section replaces the defaults when it is there at all, even empty, so
// a host without it (every file from before it existed) keeps the defaults.
std::vector<std::string> IgnoredFileSystemsFrom(const IniFile& ini) {
  constexpr std::string_view kSection = "IgnoreFileSystems";
  if (!ini.HasSection(kSection)) return DefaultIgnoredFileSystems();
  std::vector<std::string> types;
  // As in [IgnoreFolders], a line gives its value; comment lines give none.
  for (const IniRecord& record : ini.Section(kSection))
    if (!record.value.empty() && record.value[0] != ';' && record.value[0] != '#')
      types.push_back(record.value);
  return types;
}

}  // namespace

Settings SettingsFrom(const IniFile& ini) {
  Settings s;
  s.logLevel = ini.Number("Settings", "Log", 0);
  s.files.enabled = ini.Number("Settings", "Files", 1) != 0;
  s.files.allFiles = ini.Number("Settings", "AllFiles", 0) != 0;
  s.packages = ini.Number("Settings", "Msi", 1) != 0;
  s.shortcuts = ini.Number("Settings", "Shortcuts", 1) != 0;
  s.files.crc = ini.Number("Settings", "CRC", 0) != 0;
  s.files.pauseMs = ini.Number("Settings", "Pause", 0);
  for (const IniRecord& record : ini.Section("IgnoreFolders"))
    s.files.ignoreFolders.push_back(record.value);
  s.files.ignoreFileSystems = IgnoredFileSystemsFrom(ini);
  s.computerData = ini.String("Settings", "ComputerData");
  s.outputFolder = ini.String("Settings", "OutputFolder");
  s.upload.enabled = ini.Number("Settings", "UploadByHttp", 0) != 0;
  s.upload.address = ini.String("HTTP", "Address");
  s.upload.username = ini.String("HTTP", "Username");
  s.upload.password = ini.String("HTTP", "Password");
  const bool encrypted = ini.Number("HTTP", "PasswordIsEncrypted", 0) != 0;
  if (encrypted && !s.upload.password.empty()) s.upload.password = DecryptPassword(s.upload.password);
  s.upload.timeoutSeconds = ini.Number("HTTP", "Timeout", 300);
  if (s.upload.timeoutSeconds < 0) s.upload.timeoutSeconds = 300;  // a negative bound means nothing
  s.upload.caFile = ini.String("HTTP", "CAFile");

  s.metricsFile = ini.String("Settings", "MetricsFile");

  // Reaching the server from a locked-down network.
  s.upload.proxy = ini.String("HTTP", "Proxy");
  s.upload.certFile = ini.String("HTTP", "CertFile");
  s.upload.keyFile = ini.String("HTTP", "KeyFile");
  s.upload.retries = ini.Number("HTTP", "Retries", 2);
  if (s.upload.retries < 0) s.upload.retries = 2;
  return s;
}
