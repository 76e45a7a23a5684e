// The built agent uploading its scan file: from the settings (an encrypted
// password) to the request, and from the answer to the scan file removed or
// kept and the exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent_runner.h"
#include "loopback_server.h"

namespace e2e {
namespace {

TEST(UploadE2E, ConfirmedUploadRemovesTheScanFileAnythingElseKeepsIt) {
  const AgentResult hex = e2e::Run("/bin/sh", {"-c", "printf '%s\\n' 'p&w<d>' | '" +
                                  (AgentPath().parent_path() / "scanunix-passwd").string() + "'"});
  ASSERT_EQ(hex.out.size(), 17u) << hex.err;  // one block: 16 digits and the line end
  // Lower-case names, a chunked body, and the connection kept open after it.
  const std::string confirmed = "HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\n\r\n12\r\n"
                                "<UploadFileResult>\r\n15\r\nOK</UploadFileResult>\r\n0\r\n\r\n";
  const std::string refused = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 39\r\n\r\n"
                              "<UploadFileResult>OK</UploadFileResult>";
  TempDir dir;
  for (const bool ok : {true, false}) {
    LoopbackServer server(AnswerWith(ok ? confirmed : refused, AfterAnswer::kKeepOpen));
    dir.Write("s.ini", QuietSettings(dir.path(), "UploadByHttp=1") +
                           "[HTTP]\nAddress=http://127.0.0.1:" + std::to_string(server.Port()) +
                           "/inv\nUsername=inventory\nPassword=" + hex.out.substr(0, 16) +
                           "\nPasswordIsEncrypted=1\nTimeout=5\n");
    const AgentResult r = RunAgent({(dir / "s.ini").string()});
    EXPECT_EQ(r.exitStatus, ok ? 0 : 2) << r.out << r.err;
    EXPECT_TRUE(r.out.ends_with(ok ? ", uploaded\n" : ", upload failed\n")) << r.out;
    EXPECT_EQ(FindScanFile(dir.path()).empty(), ok);
    // Nothing at all when it did not wait for the close.
    std::string logged;
    for (const auto& entry : fs::directory_iterator(dir.path()))
      if (entry.path().extension() == ".log") logged += ReadFile(entry.path());
    EXPECT_EQ(logged, ok ? "" : "HTTP status 500\n");
    const std::string request = server.Received();
    EXPECT_NE(request.find("<Username>inventory</Username><Password>p&amp;w&lt;d&gt;</Password>"),
              std::string::npos);
    // The body starts with the Base64 text of "<?xml".
    EXPECT_NE(request.find("<SOAPSDK4:f SOAP-ENV:encodingStyle=\"\">PD94bWw"), std::string::npos);
  }
}

// A name that resolves to both loopback addresses, from an /etc/hosts
// bind-mounted in a private mount namespace: whichever of the two listens,
// the upload reaches it, and the Host header keeps the name.
TEST(UploadE2E, EveryAddressOfTheNameIsTried) {
  TempDir dir;
  const fs::path hosts = dir.Write("hosts", "127.0.0.1 both.test\n::1 both.test\n");
  for (const std::string listen : {"::1", "127.0.0.1"}) {
    SCOPED_TRACE(listen);
    LoopbackServer server({AnswerWith(SoapAnswer("OK"))}, 0, listen);
    dir.Write("s.ini", QuietSettings(dir.path(), "UploadByHttp=1") +
                           "[HTTP]\nAddress=http://both.test:" + std::to_string(server.Port()) +
                           "/inv\nTimeout=5\nRetries=0\n");
    const AgentResult r = e2e::Run("/usr/bin/unshare",
        {"-m", "/bin/sh", "-c", "mount --bind '" + hosts.string() + "' /etc/hosts && exec '" +
                                    AgentPath().string() + "' '" + (dir / "s.ini").string() + "'"});
    EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
    EXPECT_TRUE(FindScanFile(dir.path()).empty());
    EXPECT_TRUE(server.Finish().starts_with("POST /inv/Service.asmx HTTP/1.1\r\n"
                                            "Host: both.test\r\n"));
  }
}

}  // namespace
}  // namespace e2e
