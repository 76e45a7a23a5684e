// /proc/cpuinfo and /proc/meminfo text: the processor count is the number
// of processor lines, every value is one line of the text, and the memory
// total is a plain number.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/text.h"
#include "check.h"
#include "host/arm_cpu.h"
#include "host/hardware.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t processors = 0;
  ForEachLine(text, [&](std::string_view line) { processors += line.starts_with("processor\t: "); });
  const CpuFacts cpu = ParseCpuInfo(text);
  Check(cpu.count == std::to_string(processors));
  for (const std::string* value : {&cpu.type, &cpu.mhz, &cpu.cores, &cpu.implementer, &cpu.part})
    Check(value->find('\n') == std::string::npos && text.find(*value) != std::string_view::npos);
  Check(ArmProcessorName(cpu.implementer, cpu.part).find('\n') == std::string::npos);
  const CpuFacts cut = ParseCpuInfo(text, true);  // the unfinished last line is left out
  Check(std::stoul(cut.count) <= processors);

  const std::string total = ParseMemTotal(text);
  Check(total.size() <= 20 && total.find_first_not_of("0123456789") == std::string::npos);
  Check(total.empty() || text.find("MemTotal:") != std::string_view::npos);
  return 0;
}
