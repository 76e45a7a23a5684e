// Peak resident memory of uploading a 200 MB scan file, directly and through
// Debian's tinyproxy, against a baseline child process that only starts and
// exits. Each case runs in a forked child
// (forked before any thread exists) so that its peak RSS is its own.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <sys/socket.h>

#include <sstream>

#include "base/log.h"
#include "loopback_server.h"
#include "tinyproxy.h"
#include "upload/base64.h"
#include "config/settings.h"
#include "upload/soap_upload.h"
#include "upload/tcp_connection.h"

namespace {

constexpr size_t kFileBytes = 200u << 20;
const char* const kFilePath = "/tmp/scanunix-upload-bench.scn";

void MakeScanFile() {
  std::FILE* f = std::fopen(kFilePath, "wb");
  if (!f) std::abort();
  std::vector<char> block(1 << 20);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>("<row a=\"x\"/>\r\n"[i % 15]);
  for (size_t done = 0; done < kFileBytes; done += block.size()) std::fwrite(block.data(), 1, block.size(), f);
  std::fclose(f);
}

// Reads one request to its end without keeping it, then confirms it.
void ServeOnce(const UniqueFd& listener) {
  TcpConnection conn{UniqueFd(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC))};
  std::string head;
  char c;
  while (head.find("\r\n\r\n") == std::string::npos && conn.ReadSome(&c, 1) == 1) head.push_back(c);
  const size_t at = head.find("Content-Length: ");
  size_t left = at == std::string::npos ? 0 : std::strtoull(head.c_str() + at + 16, nullptr, 10);
  std::vector<char> sink(1 << 20);
  while (left > 0) {
    const int want = static_cast<int>(std::min(left, sink.size()));
    if (ReadExactly(conn, sink.data(), want) != want) break;
    left -= static_cast<size_t>(want);
  }
  const std::string body = "<UploadFileResult>OK</UploadFileResult>";
  const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\n\r\n" + body;
  conn.Write(answer.data(), answer.size());
}

struct Quiet : UploadObserver {
  void Reached(UploadProgress) override {}
};

enum class Child { kIdle, kStreamedUpload, kStreamedThroughProxy, kWholeFileInMemory };

// The former way, for comparison: file, its Base64 text and the request all
// held at once.
bool BuildWholeRequest() {
  std::FILE* f = std::fopen(kFilePath, "rb");
  if (!f) return false;
  std::vector<unsigned char> content(kFileBytes);
  const size_t got = std::fread(content.data(), 1, content.size(), f);
  std::fclose(f);
  std::string text;
  AppendBase64(text, content.data(), got);
  std::string request(text.size() + 2000, ' ');
  std::copy_n(text.data(), text.size(), request.begin() + 1000);
  benchmark::DoNotOptimize(request.data());
  return true;
}

// Runs the case in a forked process; returns its peak RSS in KiB and whether it
// exited with status 0.
long PeakRssOfChild(Child kind, bool& ok) {
  const bool upload = kind == Child::kStreamedUpload || kind == Child::kStreamedThroughProxy;
  int port = 0;
  const UniqueFd listener = ListenOnLoopback(port);
  std::optional<Tinyproxy> proxy;
  if (kind == Child::kStreamedThroughProxy) proxy.emplace();
  const pid_t pid = ::fork();
  if (pid == 0) {
    bool result = true;
    if (kind == Child::kWholeFileInMemory) result = BuildWholeRequest();
    if (upload) {
      UploadSettings settings;
      settings.address = "http://127.0.0.1:" + std::to_string(port) + "/";
      settings.username = "user";
      settings.password = "secret";
      settings.proxy = proxy ? proxy->Url() : "none";
      Quiet quiet;
      result = UploadScanFile(kFilePath, settings, {}, quiet).ok();
    }
    ::_exit(result ? 0 : 1);
  }
  if (upload) ServeOnce(listener);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return usage.ru_maxrss;
}

void BM_PeakRss(benchmark::State& state, Child kind) {
  MakeScanFile();
  long peak = 0;
  bool ok = true;
  for (auto _ : state) {
    bool runOk = false;
    peak = std::max(peak, PeakRssOfChild(kind, runOk));
    ok = ok && runOk;
  }
  if (!ok) state.SkipWithError("upload failed");
  state.counters["peak_rss_MiB"] = static_cast<double>(peak) / 1024.0;
  state.counters["file_MiB"] = static_cast<double>(kFileBytes >> 20);
  std::remove(kFilePath);
}

}  // namespace

BENCHMARK_CAPTURE(BM_PeakRss, baseline_child_only, Child::kIdle)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakRss, upload_200MB_streamed, Child::kStreamedUpload)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakRss, upload_200MB_through_tinyproxy, Child::kStreamedThroughProxy)
    ->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakRss, whole_file_in_memory_200MB, Child::kWholeFileInMemory)
    ->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
