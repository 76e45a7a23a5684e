#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "config/password_cipher.h"
#include "config/settings.h"

namespace {

Settings Load(const std::string& text) {
  std::istringstream in(text);
  return SettingsFrom(IniFile::Parse(in));
}

TEST(IniFile, KeysSectionsCommentsAndLineEnds) {
  EXPECT_FALSE(IniFile::Load("/nonexistent/dir/scanunix.ini"));
  for (const char* other : {"/tmp", "/dev/zero"})  // no settings file, and never read without end
    EXPECT_FALSE(IniFile::Load(other)) << other;
  EXPECT_TRUE(Load("[Settings]\nFiles=\n").files.enabled);      // empty: the default
  EXPECT_FALSE(Load("[Settings]\nFiles=abc\n").files.enabled);  // not a number: 0
  EXPECT_EQ(Load("[Settings]\nPause=250ms\n").files.pauseMs, 250);
  EXPECT_EQ(Load("[Settings]\nPause=99999999999999\n").files.pauseMs, INT_MAX);
  EXPECT_TRUE(Load("[Settings]\nFiles =0\n").files.enabled);  // key "Files "
  EXPECT_TRUE(Load("[settings]\nMsi=0\n").packages);          // another section
  EXPECT_TRUE(Load("Msi=0\n[Settings]\n").packages);          // nameless section
  EXPECT_FALSE(Load("[Settings\nMsi=0\n").packages);          // no "]": rest is the name
  EXPECT_FALSE(Load("[Settings]\nFiles=0\n[HTTP]\n[Settings]\nFiles=1\n").files.enabled);
  EXPECT_EQ(Load("[Settings]\nOutputFolder= /var/scan ;here\n").outputFolder, " /var/scan ;here");
  // A commented-out key still counts, and so does a commented header.
  EXPECT_FALSE(Load("[Settings]\n#Files=0\n").files.enabled);
  EXPECT_FALSE(Load("[Settings]\n; Files=0\n").files.enabled);
  EXPECT_FALSE(Load("#[Settings]\nMsi=0\n").packages);
  EXPECT_TRUE(Load("[Settings]\nMsi=0").packages);  // no final line feed: not read
  const Settings crlf = Load("[Settings]\r\n\tLog=-1 \r\nOutputFolder=/x\r\n");
  EXPECT_EQ(crlf.outputFolder + std::to_string(crlf.logLevel), "/x-1");
  EXPECT_EQ(Load("[IgnoreFolders]\n/proc\n1=/sys\n# skip these\n/data/[old]\n").files.ignoreFolders,
            (std::vector<std::string>{"/proc", "/sys", "# skip these", "/data/[old]"}));
  // [IgnoreFileSystems]: absent gives the defaults, present (even empty) replaces them.
  EXPECT_EQ(Load("[Settings]\nMsi=0\n").files.ignoreFileSystems, DefaultIgnoredFileSystems());
  EXPECT_EQ(Load("[IgnoreFileSystems]\n[HTTP]\n").files.ignoreFileSystems.size(), 0u);
  EXPECT_EQ(Load("[IgnoreFileSystems]\n# fuse\nfuse*\n1=nfs\n").files.ignoreFileSystems,
            (std::vector<std::string>{"fuse*", "nfs"}));
}

TEST(IniFile, UploadKeysAndOnlyAnEncryptedPasswordDecrypted) {
  const std::string hex = EncryptPassword("Secret=1 ;#");
  EXPECT_EQ(Load("[HTTP]\nPassword=" + hex + "\r\nPasswordIsEncrypted=1\r\n").upload.password,
            "Secret=1 ;#");
  EXPECT_EQ(Load("[HTTP]\nPassword=ABCDEF\n").upload.password, "ABCDEF");
  EXPECT_EQ(Load("[HTTP]\nPassword=\nPasswordIsEncrypted=1\n").upload.password, "");
  EXPECT_EQ(Load("[HTTP]\nTimeout=-5\n").upload.timeoutSeconds, 300);
  EXPECT_EQ(Load("[HTTP]\nTimeout=0\n").upload.timeoutSeconds, 0);
  EXPECT_EQ(Load("[HTTP]\nCAFile=/etc/inv/ca.pem\n").upload.caFile, "/etc/inv/ca.pem");
  const UploadSettings u =
      Load("[HTTP]\nProxy=http://p:3128\nCertFile=/c.pem\nKeyFile=/k.pem\nRetries=0\n").upload;
  EXPECT_EQ(u.proxy + u.certFile + u.keyFile + std::to_string(u.retries), "http://p:3128/c.pem/k.pem0");
  EXPECT_EQ(Load("[HTTP]\nRetries=-1\n").upload.retries, 2);
  EXPECT_EQ(Load("[Settings]\nMetricsFile=/m/s.prom\n").metricsFile, "/m/s.prom");
}

}  // namespace
