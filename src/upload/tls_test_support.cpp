#include "upload/tls_test_support.h"

#include <cstdlib>
#include <fstream>

#include "upload/tls_session.h"
#include "upload/upload_test_support.h"

namespace {

bool Openssl(const std::string& args, const std::filesystem::path& dir, std::string& error) {
  const std::string command =
      "cd '" + dir.string() + "' && openssl " + args + " >openssl.log 2>&1";
  if (std::system(command.c_str()) == 0) return true;
  std::ifstream log(dir / "openssl.log");
  error = "openssl " + args + " failed: " +
          std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
  return false;
}

const std::string kNewKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

}  // namespace

bool MakeTestCertificates(const std::filesystem::path& dir, TestCertificates& out,
                          std::string& error) {
  WriteBytes(dir / "req.cnf",
             "[req]\ndistinguished_name = dn\nprompt = no\n[dn]\nCN = scanunix test\n"
             "[ca]\nbasicConstraints = critical,CA:TRUE\nkeyUsage = critical,keyCertSign,cRLSign\n"
             "subjectKeyIdentifier = hash\n"
             "[self]\nbasicConstraints = CA:FALSE\nsubjectAltName = DNS:localhost,IP:127.0.0.1\n");
  WriteBytes(dir / "good.ext",
             "basicConstraints = CA:FALSE\nextendedKeyUsage = serverAuth\n"
             "subjectAltName = DNS:localhost,IP:127.0.0.1\n");
  WriteBytes(dir / "other.ext",
             "basicConstraints = CA:FALSE\nextendedKeyUsage = serverAuth\n"
             "subjectAltName = DNS:other.example\n");
  out.ca = dir / "ca.pem";
  out.goodCert = dir / "good.pem";
  out.goodKey = dir / "good.key";
  out.otherCert = dir / "other.pem";
  out.otherKey = dir / "other.key";
  out.selfCert = dir / "self.pem";
  out.selfKey = dir / "self.key";
  return Openssl("req -x509 " + kNewKey + " -keyout ca.key -out ca.pem -days 2 -config req.cnf "
                 "-extensions ca", dir, error) &&
         Openssl("req -new " + kNewKey + " -keyout good.key -out good.csr -config req.cnf", dir,
                 error) &&
         Openssl("x509 -req -in good.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
                 "-out good.pem -extfile good.ext", dir, error) &&
         Openssl("req -new " + kNewKey + " -keyout other.key -out other.csr -config req.cnf", dir,
                 error) &&
         Openssl("x509 -req -in other.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
                 "-out other.pem -extfile other.ext", dir, error) &&
         Openssl("req -x509 " + kNewKey + " -keyout self.key -out self.pem -days 2 "
                 "-config req.cnf -extensions self", dir, error);
}

LoopbackServer::Handler TlsAnswerWith(const TlsLibrary& library, std::filesystem::path cert,
                                      std::filesystem::path key, std::string response) {
  return [&library, cert = std::move(cert), key = std::move(key),
          response = std::move(response)](CWizReadWriteSocket& connection, LoopbackServer& self) {
    connection.SetTimeout(10);  // a client that gives up must not hold the test
    std::string reason;
    auto session = TlsSession::Accept(library, connection.Handle(), cert.string(), key.string(),
                                      reason);
    if (!session) {
      self.Record("[" + reason + "]");
      return;
    }
    self.Record(ReadHttpRequest(*session));
    session->Write(response.data(), response.size());
  };
}
