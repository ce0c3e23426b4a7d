#pragma once

#include <stdexcept>
#include <string>

namespace rt {

// Run-time error numbers as the program's users know them from the classic runtime.
namespace err {
inline constexpr int Overflow = 6;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int DivisionByZero = 11;
inline constexpr int TypeMismatch = 13;
inline constexpr int ObjectRequired = 424;
}  // namespace err

// The one exception every run-time error travels as; no handler traps it, the
// runtime reports it and ends the program.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(int number);
  int Number() const { return number_; }

 private:
  int number_;
};

// The text of the runtime's error report for an error number.
std::string ErrorDescription(int number);
std::string ErrorReport(int number);

}  // namespace rt
