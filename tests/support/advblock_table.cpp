#include "advblock_table.h"

#include <memory>

#include "paradox/file.h"
#include "paradox/table_writer.h"
#include "paradox/value.h"

namespace testsupport {

using paradox::FieldType;
using tools::NumberField;

paradox::Status WriteAdvBlock(const std::string& path, const std::vector<AdvRow>& rows,
                              const AdvBlockOptions& options) {
  std::vector<paradox::FieldDef> fields = tools::AdvBlockFields(options.keyed, options.number);
  if (options.tag) fields.push_back({"FTag", FieldType::kLong, 4});
  paradox::CreateOptions create;
  if (options.keyed) create.key_fields = 1;
  std::unique_ptr<paradox::TableWriter> w;
  PX_RETURN_IF_ERROR(paradox::TableWriter::Create(paradox::FileSystem::Default(), path, fields, create, &w));
  paradox::RecordBuilder rb(w->fields());
  int32_t id = 0;
  for (const AdvRow& r : rows) {
    rb.Clear();
    int f = 0;
    if (options.keyed) rb.SetInt(f++, ++id);
    if (!r.name.empty()) rb.SetAlpha(f, r.name);
    ++f;
    if (r.day >= 0) rb.SetInt(f, static_cast<int32_t>(r.day + paradox::kDateTimeEpochDay));
    ++f;
    if (r.ms >= 0) rb.SetInt(f, r.ms);
    ++f;
    if (options.number == NumberField::kAlpha) rb.SetAlpha(f++, r.number_text ? r.number_text : std::to_string(r.number));
    else if (options.number != NumberField::kNone) rb.SetInt(f++, r.number);
    rb.SetInt(f++, r.order);
    rb.SetInt(f++, r.year);
    if (options.tag) rb.SetInt(f++, r.tag);
    PX_RETURN_IF_ERROR(w->Append(rb.data()));
  }
  return w->Finish();
}

}  // namespace testsupport
