// Where the comparisons and the archive loader put the changes they find.
#pragma once

#include <string_view>

#include "changes/change_record.h"

namespace cvn::changes {

class ChangeSink {
 public:
  virtual ~ChangeSink() = default;

  // Inserts one change. `path` is the full path of the change's container as
  // it appears in the tree (C:\Windows\System32, HKEY_LOCAL_MACHINE\Software),
  // with or without a trailing backslash; `name` is the changed item. The
  // template supplies every field except Name. Its buffers are taken over:
  // Before and After are null when the call returns, so the caller may fill
  // the same record for its next change.
  virtual void AddToTree(std::string_view path, std::string_view name, ChangeRecord& tmpl) = 0;
};

}  // namespace cvn::changes
