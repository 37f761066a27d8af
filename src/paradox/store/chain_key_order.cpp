// The key order of a record chain, checked before the editor changes it.
#include <string>
#include <vector>

#include "paradox/format/key_order.h"
#include "paradox/store/record_chain.h"

namespace paradox {

Status CheckChainKeyOrder(const RecordChain& chain, bool secondary) {
  KeyOrder order;
  order.Setup(chain.header(), chain.header_bytes(), secondary);
  KeyOrderCheck check(order);
  const uint32_t rs = chain.header().record_size;
  auto damaged = [&](const std::string& why) {
    return Status::Error(ErrorCode::kCorruptBlock, "records out of key order").With(why).With(chain.path());
  };
  for (uint16_t b = chain.header().first_block; b != 0; b = chain.next(b)) {
    const uint8_t* block = nullptr;
    PX_RETURN_IF_ERROR(chain.Block(b, &block));
    for (uint32_t s = 0; s < chain.count(b); ++s) {
      KeyOrder::Result r = check.Add(block + kBlockHeaderSize + size_t(s) * rs, RowPos{b, s});
      if (r == KeyOrder::kSame || r == KeyOrder::kBefore) return damaged(KeyOrderProblem(r, RowPos{b, s}));
    }
  }
  for (const KeyOrderCheck::Repeat& rep : check.Candidates()) {
    const uint8_t* p = nullptr;
    PX_RETURN_IF_ERROR(chain.Block(rep.first.block, &p));
    const uint8_t* at = p + kBlockHeaderSize + size_t(rep.first.slot) * rs;
    std::vector<uint8_t> first(at, at + rs);
    PX_RETURN_IF_ERROR(chain.Block(rep.second.block, &p));
    if (order.Same(first.data(), p + kBlockHeaderSize + size_t(rep.second.slot) * rs, rep.fields))
      return damaged(KeyRepeatProblem(rep));
  }
  return Status::OK();
}

}  // namespace paradox
