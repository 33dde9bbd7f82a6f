#include "colour_model.h"

#include <algorithm>
#include <cstring>

ColourModel::Index ColourModel::indexFor(Colour colour) {
    for (size_t i = 1; i < palette_.size(); ++i)
        if (palette_[i] == colour)
            return static_cast<Index>(i);
    if (palette_.size() < 256)
        palette_.push_back(colour);
    else
        palette_.back() = colour;
    return static_cast<Index>(palette_.size() - 1);
}

void ColourModel::reset(int length) {
    std::vector<Index>().swap(buf_);
    blank_ = true;
    blankLength_ = std::max(length, 0);
    gapStart_ = gapEnd_ = 0;
    ++generation_;
    ++epoch_;
    coloured_ = false;
}

void ColourModel::assign(std::vector<Index> colours) {
    // Leave room to type in: without a gap the first keystroke would copy the whole store. The
    // caller may have reserved the room already, so that this costs no copy either.
    const size_t length = colours.size();
    colours.resize(length + gapFor(length));
    buf_ = std::move(colours);
    blank_ = false;
    gapStart_ = static_cast<int>(length);
    gapEnd_ = static_cast<int>(buf_.size());
    ++generation_;
    ++epoch_;
    coloured_ = true;
}

void ColourModel::moveGap(int pos) {
    Index* data = buf_.data();
    if (pos < gapStart_) {
        int n = gapStart_ - pos;
        std::memmove(data + gapEnd_ - n, data + pos, static_cast<size_t>(n));
        gapStart_ -= n;
        gapEnd_ -= n;
    } else if (pos > gapStart_) {
        int n = pos - gapStart_;
        std::memmove(data + gapStart_, data + gapEnd_, static_cast<size_t>(n));
        gapStart_ += n;
        gapEnd_ += n;
    }
}

void ColourModel::ensureGap(int count) {
    if (gapLength() >= count)
        return;
    int tail = static_cast<int>(buf_.size()) - gapEnd_;
    int newGap = std::max(count, static_cast<int>(gapFor(static_cast<size_t>(size()))));
    std::vector<Index> grown(static_cast<size_t>(gapStart_ + newGap + tail));
    // (memcpy wants real pointers even for nothing, and an empty store has none.)
    if (gapStart_ > 0)
        std::memcpy(grown.data(), buf_.data(), static_cast<size_t>(gapStart_));
    if (tail > 0)
        std::memcpy(grown.data() + gapStart_ + newGap, buf_.data() + gapEnd_, static_cast<size_t>(tail));
    buf_.swap(grown);
    gapEnd_ = gapStart_ + newGap;
}

void ColourModel::materialize() {
    const auto length = static_cast<size_t>(blankLength_);
    buf_.assign(length + gapFor(length), 0);
    gapStart_ = blankLength_;
    gapEnd_ = static_cast<int>(buf_.size());
    blank_ = false;
}

void ColourModel::reserveAtEnd(int count) {
    if (blank_)
        return;
    moveGap(size());
    ensureGap(count + static_cast<int>(gapFor(static_cast<size_t>(size()) + static_cast<size_t>(count))));
}

void ColourModel::insert(int pos, int count) {
    if (count <= 0)
        return;
    if (blank_) {
        blankLength_ += count;
        return;
    }
    pos = std::clamp(pos, 0, size());
    moveGap(pos);
    ensureGap(count);
    std::memset(buf_.data() + gapStart_, 0, static_cast<size_t>(count));
    gapStart_ += count;
}

void ColourModel::remove(int pos, int count) {
    pos = std::clamp(pos, 0, size());
    count = std::clamp(count, 0, size() - pos);
    if (count == 0)
        return;
    if (blank_) {
        blankLength_ -= count;
        return;
    }
    moveGap(pos);
    gapEnd_ += count;
}

void ColourModel::resize(int length) {
    length = std::max(length, 0);
    if (length > size())
        insert(size(), length - size());
    else
        remove(length, size() - length);
}

void ColourModel::fill(int pos, int count, Index index) {
    pos = std::clamp(pos, 0, size());
    count = std::clamp(count, 0, size() - pos);
    if (blank_ && index != 0 && count > 0)
        materialize();
    for (int i = pos; !blank_ && i < pos + count; ++i)
        buf_[static_cast<size_t>(i < gapStart_ ? i : i + gapLength())] = index;
    ++generation_;
    coloured_ = coloured_ || (index != 0 && count > 0);
}

ColourModel::Index ColourModel::at(int pos) const {
    if (blank_ || pos < 0 || pos >= size())
        return 0;
    return buf_[static_cast<size_t>(pos < gapStart_ ? pos : pos + gapLength())];
}

std::vector<ColourModel::Index> ColourModel::copy(int pos, int count) const {
    pos = std::clamp(pos, 0, size());
    count = std::clamp(count, 0, size() - pos);
    std::vector<Index> out(static_cast<size_t>(count));
    if (blank_)
        return out;
    // Up to the gap, then after it.
    const int before = std::clamp(gapStart_ - pos, 0, count);
    if (before > 0)
        std::memcpy(out.data(), buf_.data() + pos, static_cast<size_t>(before));
    if (count > before)
        std::memcpy(out.data() + before, buf_.data() + pos + before + gapLength(), static_cast<size_t>(count - before));
    return out;
}

void ColourModel::recolour(int pos, const Index* colours, int count) {
    pos = std::clamp(pos, 0, size());
    count = std::clamp(count, 0, size() - pos);
    if (blank_ && std::any_of(colours, colours + count, [](Index i) { return i != 0; }))
        materialize();
    for (int i = 0; !blank_ && i < count; ++i) {
        const int at = pos + i;
        buf_[static_cast<size_t>(at < gapStart_ ? at : at + gapLength())] = colours[i];
        coloured_ = coloured_ || colours[i] != 0;
    }
}

void ColourModel::write(int pos, const std::vector<Index>& colours) {
    pos = std::clamp(pos, 0, size());
    const int count = std::min(static_cast<int>(colours.size()), size() - pos);
    if (blank_ && std::any_of(colours.begin(), colours.begin() + std::max(count, 0), [](Index i) { return i != 0; }))
        materialize();
    for (int i = 0; !blank_ && i < count; ++i) {
        const int at = pos + i;
        buf_[static_cast<size_t>(at < gapStart_ ? at : at + gapLength())] = colours[static_cast<size_t>(i)];
    }
    ++generation_;
}
