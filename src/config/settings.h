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
  // Mount types the walk leaves alone: [IgnoreFileSystems] when the file
  // has that section, else DefaultIgnoredFileSystems().
  std::vector<std::string> ignoreFileSystems;
};

// Network, cluster and user-space file systems, automount points and
// overlays (container roots over layers that are listed where they lie).
const std::vector<std::string>& DefaultIgnoredFileSystems();

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
  std::string computerData;  // extra data file; empty: /etc/ComputerData.xml
  std::string outputFolder;  // empty: the executable's directory
  UploadSettings upload;

  // For a monitor: the Prometheus text file each run writes; empty writes none.
  std::string metricsFile;  // MetricsFile
};

// The settings `ini` holds; a key (or [IgnoreFileSystems]) it lacks keeps
// its default.
Settings SettingsFrom(const IniFile& ini);
