// The utility's own texts that the cleaning passes show, in Windows-1251.
#pragma once

#include <string>

namespace cleaning::texts {

const std::string& ReadingTable();     // step text of the analysis pass
const std::string& Sorting();          // step text of the sort
const std::string& DeletingDoubles();  // step text of the deletion pass
const std::string& DeletionDone();     // every listed record found its row
const std::string& DeletionFailed();   // records are left in the list
const std::string& NoTable();          // followed by the table path

}  // namespace cleaning::texts
