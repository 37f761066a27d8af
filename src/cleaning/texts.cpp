#include "cleaning/texts.h"

#include "paradox/codepage.h"

namespace cleaning::texts {

namespace {
// Sources are UTF-8; the program speaks Windows-1251.
std::string Cp1251(const char* utf8) { return paradox::Utf8To1251(utf8); }
}  // namespace

const std::string& ReadingTable() {
  static const std::string s = Cp1251("Чтение базы");
  return s;
}

const std::string& Sorting() {
  static const std::string s = Cp1251("Сортировка");
  return s;
}

const std::string& DeletingDoubles() {
  static const std::string s = Cp1251("Выполняется процесс удаления дублей");
  return s;
}

const std::string& DeletionDone() {
  static const std::string s = Cp1251("Удаление прошло успешно.");
  return s;
}

const std::string& DeletionFailed() {
  static const std::string s = Cp1251("Не удалось выполнить все операции. Выполните программу еще раз");
  return s;
}

const std::string& NoTable() {
  static const std::string s = Cp1251("Нет базы ");
  return s;
}

}  // namespace cleaning::texts
