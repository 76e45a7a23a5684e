// What one run is asked to do: the typed values of the settings file.
#pragma once

#include <string>
#include <vector>

#include "config/ini_file.h"

struct FileScanSettings {
  bool enabled = true;                     // Files
  bool allFiles = false;                   // every non-empty file, not only ELF files
  bool crc = false;                        // checksum each listed file
  int pauseMs = 0;                         // sleep after every 11 entries when > 0
  std::vector<std::string> ignoreFolders;  // [IgnoreFolders] values, file order
};

struct UploadSettings {
  bool enabled = false;  // UploadByHttp
  std::string address;
  std::string username;
  std::string password;  // plain text, decrypted when it was stored encrypted
  int timeoutSeconds = 300;  // 0 waits forever
  std::string caFile;        // PEM certificates trusted for https:// instead of the system's

  // Reaching the server from a locked-down network.
  std::string proxy;     // http://[user:password@]host:port; empty: the environment; "none"
  std::string certFile;  // client certificate chain (PEM) for https://
  std::string keyFile;   // its unencrypted key (PEM); empty: in certFile
  int retries = 2;       // further attempts after a failure before the server answered, or a 503
};

struct Settings {
  int logLevel = 0;  // see Log
  FileScanSettings files;
  bool packages = true;   // Msi
  bool shortcuts = true;
  bool compress = true;   // kept for compatibility; nothing reads it
  std::string computerData;  // extra data file; empty: /etc/ComputerData.xml
  std::string outputFolder;  // empty: the executable's directory
  UploadSettings upload;
};

// The settings `ini` holds; a key it lacks keeps its default.
Settings SettingsFrom(const IniFile& ini);
