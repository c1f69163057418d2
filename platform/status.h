// Outcome of a platform operation.
//
// Platform calls report their outcome as a Status rather than by throwing:
// a key that cannot be opened or a file that cannot be deleted is an
// ordinary event for a scanner or an uninstaller, not an error.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace cvn::platform {

enum class StatusCode : uint8_t {
  kOk,
  kNotFound,      // the key, value, file or folder does not exist
  kAccessDenied,  // it exists but may not be opened or changed
  kNoMoreItems,   // an enumeration index is past the last item
  kMoreData,      // the item does not fit the capacity the caller gave
  kNotEmpty,      // a key with subkeys or a folder with entries
  kAlreadyExists, // the target of a move or create exists
  kInvalid,       // a malformed name or argument
  kIoError,       // any other failure of the system
};

class Status {
 public:
  Status() = default;
  Status(StatusCode code, uint32_t system_error = 0) : code_(code), system_error_(system_error) {}

  static Status Ok() { return Status(); }

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  // The system's own error number (a Win32 error code) when there is one, else 0.
  uint32_t system_error() const { return system_error_; }

  // A short English description for logs and test failures ("not found (2)").
  std::string ToString() const;

  friend bool operator==(const Status& a, const Status& b) { return a.code_ == b.code_; }

 private:
  StatusCode code_ = StatusCode::kOk;
  uint32_t system_error_ = 0;
};

// Lets tests print a Status in their failure messages.
inline std::ostream& operator<<(std::ostream& os, const Status& status) {
  return os << status.ToString();
}

}  // namespace cvn::platform
