// Short date formats of real locales and formats an operator can type into
// the regional settings, each with 1 January 2011 as Windows writes it.
#pragma once

#include <string>

#include "paradox/date_format.h"

namespace testsupport {

struct ShortDate {
  const char* where;    // the locales that use it, or how it comes about
  const char* pattern;  // as the regional settings hold it
  const char* literal;  // 1 January 2011 in it
};

// Under English names (the engine's own, and Windows' under an English
// locale).
inline constexpr ShortDate kShortDates[] = {
    {"ru-RU, de-DE, uk-UA, ro-RO", "dd.MM.yyyy", "01.01.2011"},
    {"en-US", "M/d/yyyy", "1/1/2011"},
    {"en-US before Windows 7", "M/d/yy", "1/1/11"},
    {"en-GB, fr-FR, it-IT, es-ES", "dd/MM/yyyy", "01/01/2011"},
    {"en-AU, en-NZ", "d/MM/yyyy", "1/01/2011"},
    {"el-GR, zh-HK", "d/M/yyyy", "1/1/2011"},
    {"ja-JP, en-ZA", "yyyy/MM/dd", "2011/01/01"},
    {"zh-CN, zh-TW", "yyyy/M/d", "2011/1/1"},
    {"sv-SE, lt-LT, fr-CA", "yyyy-MM-dd", "2011-01-01"},
    {"ko-KR, hu-HU", "yyyy. MM. dd.", "2011. 01. 01."},
    {"ko-KR (Windows 11)", "yyyy. M. d.", "2011. 1. 1."},
    {"hu-HU before Windows 8", "yyyy.MM.dd.", "2011.01.01."},
    {"cs-CZ, sk-SK", "d. M. yyyy", "1. 1. 2011"},
    {"sl-SI", "d. MM. yyyy", "1. 01. 2011"},
    {"sr-Latn-RS, hr-HR", "d.M.yyyy.", "1.1.2011."},
    {"lv-LV", "dd.MM.yyyy.", "01.01.2011."},
    {"nl-NL", "d-M-yyyy", "1-1-2011"},
    {"da-DK, en-IN", "dd-MM-yyyy", "01-01-2011"},
    {"fi-FI, sq-AL, is-IS", "d.M.yyyy", "1.1.2011"},
    {"et-EE, tr-TR", "d.MM.yyyy", "1.01.2011"},
    {"mk-MK", "dd.M.yyyy", "01.1.2011"},
    {"bg-BG", "d.M.yyyy 'г.'", "1.1.2011 г."},
    {"typed: a two-digit year", "dd.MM.yy", "01.01.11"},
    {"typed: month first", "MM/dd/yyyy", "01/01/2011"},
    {"typed: one-letter year", "d/M/y", "1/1/11"},
    {"typed: abbreviated month", "dd-MMM-yy", "01-Jan-11"},
    {"typed: month name", "d MMMM yyyy", "1 January 2011"},
    {"typed: month name first", "MMMM d, yyyy", "January 1, 2011"},
    {"typed: weekday", "ddd dd.MM.yyyy", "Sat 01.01.2011"},
    {"typed: no separators", "yyyyMMdd", "20110101"},
    {"typed: quoted text", "'Date:' dd.MM.yyyy", "Date: 01.01.2011"},
    {"typed: a quote in quoted text", "dd.MM.yyyy 'o''clock'", "01.01.2011 o'clock"},
    {"typed: Japanese characters", "yyyy年M月d日", "2011年1月1日"},
};

// Under Windows' Russian names (ru-RU).
inline constexpr ShortDate kRussianShortDates[] = {
    {"typed: abbreviated month", "dd-MMM-yy", "01-янв-11"},
    {"typed: abbreviated month, four-digit year", "d MMM yyyy", "1 янв 2011"},
    {"typed: month name", "d MMMM yyyy 'г.'", "1 января 2011 г."},
    {"typed: month name first", "MMMM d, yyyy", "январь 1, 2011"},
    {"typed: weekday", "ddd, dd.MM.yyyy", "Сб, 01.01.2011"},
};

// A format with `pattern`; "/" stands for itself, as the regional settings
// make it whenever a pattern holds it.
inline paradox::DateFormat ShortDateFormat(const char* pattern) {
  paradox::DateFormat f;
  f.pattern = std::string(pattern);
  f.separator = std::string("/");
  return f;
}

// The same with Windows' Russian names.
inline paradox::DateFormat RussianShortDateFormat(const char* pattern) {
  paradox::DateFormat f = ShortDateFormat(pattern);
  f.month_names = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                   "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};
  f.genitive_month_names = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                            "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
  f.month_abbreviations = {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"};
  f.genitive_month_abbreviations = {"янв", "фев", "мар", "апр", "мая", "июн",
                                    "июл", "авг", "сен", "окт", "ноя", "дек"};
  f.day_names = {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"};
  f.day_abbreviations = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};
  f.era = "н.э.";
  return f;
}

}  // namespace testsupport
