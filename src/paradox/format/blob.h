// Reading the values of blob fields (memo, binary, formatted memo, OLE,
// graphic) from a table's .MB file.
#pragma once

#include <memory>
#include <string>

#include "paradox/file.h"
#include "paradox/value.h"

namespace paradox {

class BlobFile {
 public:
  explicit BlobFile(std::unique_ptr<File> file) : owned_(std::move(file)), file_(owned_.get()) {}
  // Reads through a file someone else owns, which must outlive this.
  explicit BlobFile(File* file) : file_(file) {}
  File* file() const { return file_; }

  // Reads the value a record points at into `out`. The value may lie wholly
  // in the record's leader, in a block of its own, or in a shared block.
  // Graphic values lose the 8-byte prefix the file keeps before the image.
  // Fails with kCorruptBlob when the pointer or the block does not add up.
  Status Read(FieldType type, const BlobRef& ref, std::string* out);

 private:
  std::unique_ptr<File> owned_;
  File* file_;
};

// Reads a value that lies wholly in the leader (no .MB needed). Returns
// false when the value is stored in the .MB.
bool ReadLeaderBlob(FieldType type, const BlobRef& ref, std::string* out, Status* status);

}  // namespace paradox
