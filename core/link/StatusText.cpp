#include "link/StatusText.h"

#include <array>

namespace bf {

namespace {
// "аргуметы" is the text the operators have always seen; it stays as it is.
constexpr std::array<const char*, kLastStatusWithText + 1> kTexts = {
    "Операция завершена успешно",
    "Неверный дескриптор устройства",
    "Устройство не найдено",
    "Устройство не открыто",
    "Ошибка ввода/вывода",
    "Неподходящие ресурсы",
    "Неправильный параметр",
    "Неправильная скорость",
    "Устройство не открыто для стирания",
    "Устройство не открыто для записи",
    "Ошибка записи",
    "Ошибка чтения EEPROM",
    "Ошибка записи EEPROM",
    "Ошибка очистки EEPROM",
    "EEPROM отсутствует",
    "Не программируемая EEPROM",
    "Неправильные аргуметы",
    "Другая ошибка",
};
}  // namespace

const char* StatusText(uint32_t code) {
  return code < kTexts.size() ? kTexts[code] : "";
}

}  // namespace bf
