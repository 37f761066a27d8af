#include "tools/sample_data.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "paradox/codepage.h"
#include "paradox/value.h"

namespace tools {

using namespace paradox;

namespace {

// splitmix64: tiny, fast and the same everywhere, unlike std:: distributions.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t Next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1 (the modulo bias is far below anything a sample cares about).
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  bool Percent(uint32_t ppm) { return Next() % 1000000 < ppm; }

 private:
  uint64_t s_;
};

struct Category {
  const char* product;  // goes before the brand: «Молоко Домик в деревне»
  std::vector<const char*> brands;
};

const std::vector<Category>& Categories() {
  static const std::vector<Category> kCategories = {
      {"Молоко", {"Домик в деревне", "Простоквашино", "Весёлый молочник", "Летний день", "Вкуснотеево"}},
      {"Кефир", {"Домик в деревне", "Простоквашино", "Весёлый молочник", "Био Баланс"}},
      {"Йогурт", {"Чудо", "Эрмигурт", "Агуша", "Активиа", "Растишка"}},
      {"Творожок", {"Чудо", "Растишка", "Агуша", "Б.Ю.Александров"}},
      {"Сок", {"Добрый", "Любимый", "Фруктовый сад", "Я", "Моя семья", "Сады Придонья"}},
      {"Чай", {"Майский", "Принцесса Нури", "Принцесса Канди", "Беседа", "Гринфилд"}},
      {"Кофе", {"Жокей", "Жардин", "Чёрная карта", "Московская кофейня на паяхъ"}},
      {"Шоколад", {"Алёнка", "Красный Октябрь", "Бабаевский", "Россия — щедрая душа", "Коркунов"}},
      {"Конфеты", {"Рот Фронт", "Красный Октябрь", "Коркунов", "Славянка"}},
      {"Пиво", {"Балтика", "Жигулёвское", "Золотая бочка", "Клинское", "Сибирская корона", "Старый мельник"}},
      {"Майонез", {"Махеевъ", "Слобода", "Ряба", "Московский провансаль", "Балтимор"}},
      {"Макароны", {"Макфа", "Шебекинские", "Знатные"}},
      {"Лапша", {"Роллтон", "Доширак", "Бизнес ланч"}},
      {"Вклад", {"Сбербанк", "ВТБ 24", "Альфа-Банк", "Росбанк", "Россельхозбанк"}},
      {"Кредит", {"Русский Стандарт", "Хоум Кредит", "Ренессанс Кредит", "ОТП Банк", "Сбербанк"}},
      {"Тариф", {"Билайн", "МТС", "МегаФон", "Ростелеком", "Теле2"}},
      {"Спутниковое ТВ", {"Триколор ТВ", "НТВ-Плюс", "Орион Экспресс"}},
      {"Скидки", {"Магнит", "Пятёрочка", "Перекрёсток", "Лента", "Ашан"}},
      {"Распродажа", {"М.Видео", "Эльдорадо", "Связной", "Евросеть", "Техносила"}},
      {"Подарки", {"Детский мир", "Спортмастер", "Глория Джинс", "Л'Этуаль", "Рив Гош"}},
      {"Автомобиль", {"Лада Гранта", "Лада Калина", "ГАЗель Бизнес", "УАЗ Патриот", "Лада Ларгус"}},
      {"Препарат", {"Арбидол", "Ингавирин", "Кагоцел", "Називин", "Мезим", "Фестал"}},
      {"Зубная паста", {"Новый жемчуг", "Лесной бальзам", "Жемчуг"}},
      {"Стиральный порошок", {"Миф", "Ушастый нянь", "Пемос"}},
      {"Страхование", {"Росгосстрах", "Ингосстрах", "РЕСО-Гарантия", "Согаз"}},
      {"Газета", {"Комсомольская правда", "Аргументы и факты", "Московский комсомолец"}},
  };
  return kCategories;
}

const char* const kComments[] = {
    "перенос с 12:40",     "замена ролика",   "по заявке клиента", "бонусный выход",
    "повтор",              "новая версия",    "снят с эфира",      "эфирная справка выдана",
    "без рубрикатора",     "сдвиг блока",     "региональный выход", "по письму агентства",
};

const int kDurations[] = {5, 10, 10, 15, 15, 20, 20, 25, 30, 30, 30, 45, 60};

// Broadcast hours (24 and 25 = after midnight) and how busy they are.
const int kHours[] = {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25};
const int kHourWeights[] = {2, 4, 5, 4, 3, 3, 3, 3, 3, 3, 3, 4, 5, 7, 8, 8, 6, 4, 2, 1};

constexpr int kWindow = 2048;  // repeats copy one of the last rows this many

// Text in the table's code page. Characters the page lacks (guillemets and
// dashes on the DOS page) become what a user of that page would type.
std::string Encode(int code_page, std::string text) {
  static const std::pair<const char*, const char*> kFallbacks[] = {
      {"«", "\""}, {"»", "\""}, {"—", "-"}};
  for (const auto& [from, to] : kFallbacks) {
    if (Utf8ToCodePage(code_page, from) != "?") continue;
    size_t pos;
    while ((pos = text.find(from)) != std::string::npos) text.replace(pos, std::string(from).size(), to);
  }
  return Utf8ToCodePage(code_page, text);
}

uint32_t Ppm(double percent) { return static_cast<uint32_t>(std::llround(percent * 10000)); }

uint16_t SampleRecordSize(const SampleOptions& o) {
  uint32_t size = 0;
  for (const FieldDef& f : SampleFields(o)) size += StoredFieldSize(f.type, f.size);
  return static_cast<uint16_t>(size);
}

}  // namespace

uint8_t SampleVersionByte(int version) {
  switch (version) {
    case 3: return 3;
    case 4: return 9;
    case 5: return 11;
    case 7: return 12;
    default: return 0;
  }
}

std::vector<FieldDef> AdvBlockFields(bool keyed, NumberField number) {
  std::vector<FieldDef> f;
  if (keyed) f.push_back({"ID", FieldType::kAutoInc, 4});
  f.push_back({"FName", FieldType::kAlpha, 80});
  f.push_back({"FDate", FieldType::kDate, 4});
  f.push_back({"FTime", FieldType::kTime, 4});
  switch (number) {
    case NumberField::kShort: f.push_back({"FNumber", FieldType::kShort, 2}); break;
    case NumberField::kLong: f.push_back({"FNumber", FieldType::kLong, 4}); break;
    case NumberField::kAlpha: f.push_back({"FNumber", FieldType::kAlpha, 10}); break;
    case NumberField::kNone: break;
  }
  f.push_back({"FOrder", FieldType::kLong, 4});
  f.push_back({"FYearOrder", FieldType::kShort, 2});
  return f;
}

std::vector<FieldDef> SampleFields(const SampleOptions& o) {
  std::vector<FieldDef> f = AdvBlockFields(o.keyed, o.long_number ? NumberField::kLong : NumberField::kShort);
  f.push_back({"FDuration", FieldType::kLong, 4});
  f.push_back({"FChannel", FieldType::kShort, 2});
  f.push_back({"FComment", FieldType::kAlpha, 40});
  return f;
}

uint32_t ChooseSampleBlockSize(uint64_t rows, uint32_t record_size) {
  for (uint32_t bs : {2048u, 4096u, 16384u, 32768u}) {
    if (record_size > bs - 6) continue;
    uint64_t per_block = (bs - 6) / record_size;
    if ((rows + per_block - 1) / per_block <= 32767) return bs;
  }
  return 0;
}

Status CheckSampleOptions(const SampleOptions& o) {
  auto bad = [](const std::string& why) { return Status::Error(ErrorCode::kNotSupported, why); };
  if (SampleVersionByte(o.version) == 0) return bad("version must be 3, 4, 5 or 7");
  if (o.code_page != 866 && o.code_page != 1251) return bad("code page must be 866 or 1251");
  for (double p : {o.old_percent, o.repeat_percent, o.near_percent})
    if (!(p >= 0 && p <= 100)) return bad("percentages must lie between 0 and 100");
  if (o.repeat_percent + o.near_percent > 100) return bad("repeats and near repeats exceed 100 percent");
  if (o.keyed && o.rows > 0x7FFFFFFF) return bad("too many rows for an AutoInc key");
  uint32_t rs = SampleRecordSize(o);
  if (o.block_size == 0) {
    if (ChooseSampleBlockSize(o.rows, rs) == 0) return bad("too many rows for one table");
    return Status::OK();
  }
  if (o.block_size % 1024 != 0 || o.block_size < 1024 || o.block_size > 32768)
    return bad("block size must be 1 to 32 KB");
  if (rs > o.block_size - 6) return bad("a row does not fit in a block of that size");
  uint64_t per_block = (o.block_size - 6) / rs;
  if ((o.rows + per_block - 1) / per_block > 65535)
    return bad(std::to_string(o.rows) + " rows need more than 65535 blocks of " +
               std::to_string(o.block_size / 1024) + " KB");
  return Status::OK();
}

// ---------------------------------------------------------------------------

namespace {

struct Campaign {
  std::string name;  // in the table's code page
  int32_t duration;
  int32_t order;
};

// The fields a row is made of, before its text is looked up.
struct Core {
  int64_t index;
  uint32_t campaign;
  int32_t date, time_ms, number, order, year_order, channel;
  int32_t comment;  // -1: none
};

}  // namespace

struct SampleGenerator::Impl {
  SampleOptions o;
  SampleStats stats;
  Rng rng;
  std::vector<Campaign> campaigns;
  std::vector<uint64_t> campaign_weight_sum;  // running sums, for weighted picks
  std::vector<std::string> comments;
  std::vector<uint32_t> hour_weight_sum;
  Core history[kWindow];
  size_t history_size = 0;
  size_t history_next = 0;
  uint64_t index = 0;
  uint64_t old_rows = 0;  // rows 0 .. old_rows-1 get dates before 2011
  int32_t old_first, new_first, new_last;
  uint32_t repeat_ppm, near_ppm;
  SampleRow row;

  explicit Impl(const SampleOptions& opt) : o(opt), rng(opt.seed ^ 0x5AD0B10C5EEDull) {
    old_first = static_cast<int32_t>(DayFromCivil(2008, 1, 1));
    new_first = static_cast<int32_t>(DayFromCivil(2011, 1, 1));
    new_last = static_cast<int32_t>(DayFromCivil(2013, 12, 31));
    old_rows = static_cast<uint64_t>(std::llround(static_cast<double>(o.rows) * o.old_percent / 100));
    repeat_ppm = Ppm(o.repeat_percent);
    near_ppm = Ppm(o.near_percent);
    uint32_t sum = 0;
    for (int w : kHourWeights) hour_weight_sum.push_back(sum += static_cast<uint32_t>(w));
    for (const char* c : kComments) comments.push_back(Encode(o.code_page, c));
    MakeCampaigns();
  }

  void MakeCampaigns() {
    const auto& cats = Categories();
    uint64_t total = 0;
    for (int i = 0; i < 300; ++i) {
      const Category& cat = cats[rng.Below(static_cast<uint32_t>(cats.size()))];
      std::string brand = cat.brands[rng.Below(static_cast<uint32_t>(cat.brands.size()))];
      std::string product = cat.product;
      int32_t duration = kDurations[rng.Below(static_cast<uint32_t>(std::size(kDurations)))];
      std::string sec(" ");
      sec += std::to_string(duration);
      sec += " сек";
      std::string name;
      uint32_t kind = rng.Below(100);
      if (kind < 55)
        name = "Ролик «" + product + " " + brand + "»" + sec;
      else if (kind < 67)
        name = "Ролик «" + brand + ". " + product + "»" + sec;
      else if (kind < 77)
        name = "Спонсорская заставка «" + brand + "»" + sec;
      else if (kind < 85)
        name = "Анонс акции «" + brand + "»" + sec;
      else if (kind < 95)
        name = "Ролик «" + product + " " + brand + "»" + sec + ", версия " + std::to_string(2 + rng.Below(3));
      else
        name = "Телемагазин «" + brand + "»" + sec;
      Campaign c;
      c.name = Encode(o.code_page, name).substr(0, 80);
      c.duration = duration;
      c.order = static_cast<int32_t>(100 + rng.Below(99900));
      campaigns.push_back(std::move(c));
      // A few campaigns run far more often than the rest, as in real logs.
      uint32_t weight = 1 + rng.Below(20);
      if (rng.Below(10) == 0) weight *= 10;
      campaign_weight_sum.push_back(total += weight);
    }
  }

  uint32_t PickCampaign() {
    uint64_t r = rng.Next() % campaign_weight_sum.back();
    return static_cast<uint32_t>(
        std::upper_bound(campaign_weight_sum.begin(), campaign_weight_sum.end(), r) -
        campaign_weight_sum.begin());
  }

  int32_t PickTime() {
    uint32_t r = rng.Below(hour_weight_sum.back());
    size_t h = static_cast<size_t>(std::upper_bound(hour_weight_sum.begin(), hour_weight_sum.end(), r) -
                                   hour_weight_sum.begin());
    int32_t hour = kHours[h] % 24;
    int32_t ms = ((hour * 60 + static_cast<int32_t>(rng.Below(60))) * 60 + static_cast<int32_t>(rng.Below(60))) * 1000;
    if (rng.Below(4) == 0) ms += static_cast<int32_t>(rng.Below(1000));  // some logs keep milliseconds
    return ms;
  }

  // Rows are roughly in broadcast order: the old ones spread over 2008-2010,
  // the rest over 2011-2013, a day or two of jitter.
  int32_t PickDate(uint64_t i) {
    int32_t first, span;
    uint64_t pos, count;
    if (i < old_rows) {
      first = old_first, span = new_first - old_first, pos = i, count = old_rows;
    } else {
      first = new_first, span = new_last - new_first + 1, pos = i - old_rows, count = o.rows - old_rows;
    }
    int32_t day = first + static_cast<int32_t>(pos * static_cast<uint64_t>(span) / std::max<uint64_t>(count, 1));
    day += static_cast<int32_t>(rng.Below(3));
    return std::min(day, first + span - 1);
  }

  int32_t PickNumber() {
    if (o.long_number && o.rows > 2) {
      // A few positions beyond the Short range, always present in any table.
      if (index == o.rows / 3) return 70000;
      if (index == 2 * o.rows / 3) return 40000;
      if (rng.Below(2000) == 0) return rng.Below(2) ? 70000 : 32768 + static_cast<int32_t>(rng.Below(60000));
    }
    return rng.Below(10) < 9 ? 1 + static_cast<int32_t>(rng.Below(12)) : 1 + static_cast<int32_t>(rng.Below(99));
  }

  Core Original() {
    Core c;
    c.index = static_cast<int64_t>(index);
    c.campaign = PickCampaign();
    c.date = PickDate(index);
    c.time_ms = PickTime();
    c.number = PickNumber();
    c.order = campaigns[c.campaign].order;
    int y, m, d;
    CivilFromDay(c.date, &y, &m, &d);
    c.year_order = (m == 1 && rng.Below(10) == 0) ? y - 1 : y;  // January rows of last year's orders
    c.channel = 1 + static_cast<int32_t>(rng.Below(8));
    c.comment = rng.Below(10) < 7 ? -1 : static_cast<int32_t>(rng.Below(static_cast<uint32_t>(comments.size())));
    return c;
  }

  const SampleRow& Next() {
    Core c;
    row.repeat_of = row.near_of = -1;
    bool forced_big = o.long_number && o.rows > 2 && (index == o.rows / 3 || index == 2 * o.rows / 3);
    uint32_t r = static_cast<uint32_t>(rng.Next() % 1000000);
    if (history_size > 0 && !forced_big && r < repeat_ppm + near_ppm) {
      c = history[rng.Below(static_cast<uint32_t>(history_size))];
      if (r < repeat_ppm) {
        row.repeat_of = c.index;
        ++stats.repeats;
      } else {
        row.near_of = c.index;
        ++stats.near_repeats;
        if (rng.Below(2) == 0) {
          int32_t n = c.number;
          while (n == c.number) n = 1 + static_cast<int32_t>(rng.Below(99));
          c.number = n;
        } else {
          c.order += 1 + static_cast<int32_t>(rng.Below(50));
        }
      }
      c.index = static_cast<int64_t>(index);
    } else {
      c = Original();
      history[history_next] = c;
      history_next = (history_next + 1) % kWindow;
      history_size = std::min<size_t>(history_size + 1, kWindow);
    }

    const Campaign& camp = campaigns[c.campaign];
    row.id = static_cast<int32_t>(index + 1);
    row.name.assign(camp.name);
    row.date = c.date;
    row.time_ms = c.time_ms;
    row.number = c.number;
    row.order = c.order;
    row.year_order = c.year_order;
    row.duration = camp.duration;
    row.channel = c.channel;
    if (c.comment < 0)
      row.comment.clear();
    else
      row.comment.assign(comments[static_cast<size_t>(c.comment)]);

    if (c.date < new_first) ++stats.old_rows;
    if (c.number > 32767) ++stats.big_numbers;
    ++stats.rows;
    ++index;
    return row;
  }
};

SampleGenerator::SampleGenerator(const SampleOptions& options) : impl_(std::make_unique<Impl>(options)) {}
SampleGenerator::~SampleGenerator() = default;
const SampleRow& SampleGenerator::Next() { return impl_->Next(); }
const SampleStats& SampleGenerator::stats() const { return impl_->stats; }

Status WriteSampleTable(FileSystem* fs, const std::string& db_path, const SampleOptions& options,
                        SampleStats* stats) {
  PX_RETURN_IF_ERROR(CheckSampleOptions(options));
  std::vector<FieldDef> wanted = SampleFields(options);
  CreateOptions co;
  co.version = SampleVersionByte(options.version);
  co.block_size = options.block_size != 0 ? options.block_size
                                          : ChooseSampleBlockSize(options.rows, SampleRecordSize(options));
  co.code_page = options.code_page;
  co.key_fields = options.keyed ? 1 : 0;
  co.update_time = 1388448000;  // 2013-12-31: a fixed stamp keeps the files reproducible
  std::unique_ptr<TableWriter> w;
  PX_RETURN_IF_ERROR(TableWriter::Create(fs, db_path, wanted, co, &w));

  const int first = options.keyed ? 1 : 0;
  RecordBuilder rb(w->fields());
  SampleGenerator gen(options);
  for (uint64_t i = 0; i < options.rows; ++i) {
    const SampleRow& row = gen.Next();
    rb.Clear();
    if (options.keyed) rb.SetInt(0, row.id);
    rb.SetAlpha(first + 0, row.name);
    rb.SetInt(first + 1, row.date);
    rb.SetInt(first + 2, row.time_ms);
    rb.SetInt(first + 3, row.number);
    rb.SetInt(first + 4, row.order);
    rb.SetInt(first + 5, row.year_order);
    rb.SetInt(first + 6, row.duration);
    rb.SetInt(first + 7, row.channel);
    rb.SetAlpha(first + 8, row.comment);
    PX_RETURN_IF_ERROR(w->Append(rb.data()));
  }
  PX_RETURN_IF_ERROR(w->Finish());
  if (stats != nullptr) {
    *stats = gen.stats();
    stats->block_size = co.block_size;
  }
  return Status::OK();
}

}  // namespace tools
