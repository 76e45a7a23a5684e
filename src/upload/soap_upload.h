// Upload of the finished scan file to the inventory server.
#pragma once

#include <string>

// Splits an address such as http://host:81/inv into host, path ("/inv/")
// and port. Leaves all three as they are for an empty address.
void ParseHttpAddress(const std::string& address, std::string& host,
                      std::string& path, int& port);

// Sends the file at `filePath` with one SOAP UploadFile request; true when
// the server's UploadFileResult begins with "OK".
bool UploadFileHttp(const std::string& filePath, const std::string& host,
                    const std::string& path, int port, const std::string& user,
                    const std::string& password);
