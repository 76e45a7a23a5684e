#include "agent/element_guard.h"

#include <exception>

Status WriteElementGuarded(OutputFile& file, DocumentWriter& document, std::string_view empty,
                           const std::function<void()>& write) {
  // Without a mark the file has failed already and will not be kept.
  const std::optional<off_t> mark = file.Mark();
  try {
    write();
    return {};
  } catch (const std::exception& error) {
    if (mark) file.RewindTo(*mark);
    document.Markup(empty);
    return ReasonFailure("element", error.what());
  }
}
