// Finds names among many in constant time, in eight bytes a name: it keeps
// a hash and a position per name, and the caller's `nameAt(position)`
// gives the name back when two hashes agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace ddhost {

class NameIndex {
public:
  static constexpr std::uint32_t npos = UINT32_MAX;

  std::size_t size() const { return size_; }

  // Makes room for `names` at once.
  void reserve(std::size_t names) {
    std::size_t slots = 16;
    while (slots < 2 * names) {
      slots *= 2;
    }
    if (slots > slots_.size()) {
      rehash(slots);
    }
  }

  // Forgets every name, and the room they took.
  void reset() {
    std::vector<std::uint64_t>().swap(slots_);
    size_ = 0;
  }

  template <typename NameAt>
  std::uint32_t find(std::string_view name, const NameAt& nameAt) const {
    if (slots_.empty()) {
      return npos;
    }
    const std::uint32_t hash = hashOf(name);
    for (std::size_t at = hash & mask();; at = (at + 1) & mask()) {
      const std::uint64_t slot = slots_[at];
      if (slot == 0) {
        return npos;
      }
      if (static_cast<std::uint32_t>(slot >> 32) == hash && nameAt(positionIn(slot)) == name) {
        return positionIn(slot);
      }
    }
  }

  // Records `name` at `position` unless it is there already; answers the
  // position recorded before, or npos when it was not.
  template <typename NameAt>
  std::uint32_t insert(std::string_view name, std::uint32_t position, const NameAt& nameAt) {
    if (2 * (size_ + 1) > slots_.size()) {
      grow();
    }
    // One probe both looks the name up and finds its place.
    const std::uint32_t hash = hashOf(name);
    for (std::size_t at = hash & mask();; at = (at + 1) & mask()) {
      const std::uint64_t slot = slots_[at];
      if (slot == 0) {
        slots_[at] = static_cast<std::uint64_t>(hash) << 32 | (static_cast<std::uint64_t>(position) + 1);
        ++size_;
        return npos;
      }
      if (static_cast<std::uint32_t>(slot >> 32) == hash && nameAt(positionIn(slot)) == name) {
        return positionIn(slot);
      }
    }
  }

private:
  static std::uint32_t hashOf(std::string_view name) {
    const std::size_t hash = std::hash<std::string_view>()(name);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
  }
  static std::uint32_t positionIn(std::uint64_t slot) { return static_cast<std::uint32_t>(slot) - 1; }
  std::size_t mask() const { return slots_.size() - 1; }

  void place(std::uint64_t slot) {
    std::size_t at = static_cast<std::uint32_t>(slot >> 32) & mask();
    while (slots_[at] != 0) {
      at = (at + 1) & mask();
    }
    slots_[at] = slot;
  }

  // Rehashing needs no names: the hashes are kept.
  void grow() { rehash(slots_.empty() ? 16 : 2 * slots_.size()); }

  void rehash(std::size_t slots) {
    std::vector<std::uint64_t> old(slots, 0);
    old.swap(slots_);
    for (const std::uint64_t slot : old) {
      if (slot != 0) {
        place(slot);
      }
    }
  }

  std::vector<std::uint64_t> slots_;  // hash << 32 | (position + 1); 0 is empty
  std::size_t size_ = 0;
};

}  // namespace ddhost
