#include "runtime/Errors.h"

namespace rt {

RuntimeError::RuntimeError(int number) : std::runtime_error(ErrorReport(number)), number_(number) {}

std::string ErrorDescription(int number) {
  switch (number) {
    case err::Overflow:
      return "Přetečení";
    case err::SubscriptOutOfRange:
      return "Index mimo rozsah";
    case err::DivisionByZero:
      return "Dělení nulou";
    case err::TypeMismatch:
      return "Nesoulad typů";
    case err::ObjectRequired:
      return "Je vyžadován objekt";
    default:
      return "Chyba definovaná aplikací nebo objektem";
  }
}

std::string ErrorReport(int number) {
  return "Chyba za běhu programu '" + std::to_string(number) + "':\n\n" + ErrorDescription(number);
}

}  // namespace rt
