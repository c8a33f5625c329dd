// The one way our own parsing takes bytes from a file: a cursor over bytes
// that knows their end. A read that asks for more than is left gives
// nothing (zero, or an empty span) and marks the cursor overrun, so a
// reader checks once, after a whole record, instead of before each byte;
// lengths and offsets that a file states are compared with what is left,
// never added to a position first. Spans let the unpackers go on copying a
// word at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bitmosaic {

struct ByteCursor {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;
  bool overrun = false;  // some read asked for more than was left

  ByteCursor() = default;
  explicit ByteCursor(std::span<const std::uint8_t> all) : bytes(all) {}

  std::size_t left() const { return bytes.size() - at; }
  bool at_end() const { return at == bytes.size(); }
  std::size_t position() const { return at; }

  // The next `count` bytes without moving on; empty when fewer are left.
  std::span<const std::uint8_t> peek(std::size_t count) const {
    return count <= left() ? bytes.subspan(at, count) : std::span<const std::uint8_t>{};
  }

  // The next `count` bytes; empty, and overrun, when fewer are left.
  std::span<const std::uint8_t> take(std::size_t count) {
    if (count > left()) {
      overrun = true;
      return {};
    }
    const std::span<const std::uint8_t> taken = bytes.subspan(at, count);
    at += count;
    return taken;
  }

  // Up to `count` bytes: as many as are left. Never an overrun.
  std::span<const std::uint8_t> take_up_to(std::size_t count) {
    return take(count <= left() ? count : left());
  }

  // Everything that is left, without moving on.
  std::span<const std::uint8_t> rest() const { return bytes.subspan(at); }

  bool skip(std::size_t count) { return take(count).size() == count; }

  std::uint8_t byte() {
    const std::span<const std::uint8_t> one = take(1);
    return one.empty() ? 0 : one[0];
  }

  std::uint16_t u16_le() {
    const std::span<const std::uint8_t> two = take(2);
    return two.empty() ? 0 : static_cast<std::uint16_t>(two[0] | two[1] << 8);
  }

  std::uint16_t u16_be() {
    const std::span<const std::uint8_t> two = take(2);
    return two.empty() ? 0 : static_cast<std::uint16_t>(two[0] << 8 | two[1]);
  }

  std::uint32_t u32_le() {
    const std::uint32_t low = u16_le();
    return low | std::uint32_t{u16_le()} << 16;
  }

  std::uint32_t u32_be() {
    const std::uint32_t high = u16_be();
    return high << 16 | u16_be();
  }

  // A cursor over the same bytes from `offset` on (an offset a file states):
  // overrun, and at the end, where that lies beyond them.
  ByteCursor from(std::size_t offset) const {
    ByteCursor cursor(bytes);
    if (offset > bytes.size()) {
      cursor.at = bytes.size();
      cursor.overrun = true;
    } else {
      cursor.at = offset;
    }
    return cursor;
  }

  // A cursor over the next `count` bytes alone, which this one moves past;
  // an empty one, and overrun, where fewer are left.
  ByteCursor part(std::size_t count) {
    const bool enough = count <= left();
    ByteCursor cursor(take(count));
    cursor.overrun = !enough;
    return cursor;
  }
};

}  // namespace bitmosaic
