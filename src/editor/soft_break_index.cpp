#include "soft_break_index.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

bool SoftBreakIndex::startsSoft(const QTextBlock& block) {
    return block.blockFormat().boolProperty(kSoftStart);
}

const std::vector<int>& SoftBreakIndex::blocks() const {
    if (!mayHave_) {
        blocks_.clear();
        return blocks_;
    }
    if (stale_) {
        blocks_.clear();
        for (QTextBlock block = document_->begin(); block.isValid(); block = block.next())
            if (startsSoft(block))
                blocks_.push_back(block.blockNumber());
        stale_ = false;
    }
    Q_ASSERT(std::is_sorted(blocks_.begin(), blocks_.end()));
    return blocks_;
}

int SoftBreakIndex::before(int blockNumber) const {
    const std::vector<int>& soft = blocks();
    return int(std::upper_bound(soft.begin(), soft.end(), blockNumber) - soft.begin());
}
