#include "support/mos6502.h"

#include <algorithm>

#include "base/message.h"

namespace bitmosaic::testing {
namespace {

constexpr std::uint8_t kCarry = 0x01;
constexpr std::uint8_t kZero = 0x02;
constexpr std::uint8_t kInterrupt = 0x04;
constexpr std::uint8_t kDecimal = 0x08;
constexpr std::uint8_t kBreak = 0x10;
constexpr std::uint8_t kUnused = 0x20;
constexpr std::uint8_t kOverflow = 0x40;
constexpr std::uint8_t kNegative = 0x80;

constexpr int kRaster = 0x12;
constexpr int kInterruptLatch = 0x19;
constexpr int kInterruptMask = 0x1A;

// The space bar: column 7 on CIA 1 port A, row 4 on port B.
constexpr std::uint8_t kSpaceColumn = 0x80;
constexpr std::uint8_t kSpaceRow = 0x10;
constexpr std::uint8_t kFire = 0x10;

// The first reason counts.
void stop(C64& m, const std::string& reason) {
  if (m.fault.empty()) m.fault = reason;
}

// Bits 0-2 of the processor port: LORAM, HIRAM, CHAREN. A bit set as
// input reads 1 (pulled up).
int port_bits(const C64& m) { return (m.ram[1] | ~m.ram[0]) & 7; }
bool basic_rom_visible(const C64& m) { return (port_bits(m) & 3) == 3; }
bool kernal_rom_visible(const C64& m) { return (port_bits(m) & 2) != 0; }
bool io_visible(const C64& m) { return (port_bits(m) & 3) != 0 && (port_bits(m) & 4) != 0; }
bool char_rom_visible(const C64& m) { return (port_bits(m) & 3) != 0 && (port_bits(m) & 4) == 0; }

std::uint8_t read_io(C64& m, std::uint16_t address) {
  if (address < 0xD400) {
    const int reg = address & 0x3F;
    // Bit 7 of $d011 reads bit 8 of the beam's line, not of the compare
    // line written there.
    const int line = raster_line(m);
    if (reg == 0x11) return static_cast<std::uint8_t>((m.vic[reg] & 0x7F) | (line >> 8) << 7);
    if (reg == kRaster) return static_cast<std::uint8_t>(line);
    if (reg == kInterruptLatch)
      return static_cast<std::uint8_t>(0x70 | m.vic_interrupts |
                                       ((m.vic_interrupts & m.vic_interrupt_mask) ? 0x80 : 0));
    if (reg == kInterruptMask) return 0xF0 | m.vic_interrupt_mask;
    return reg < static_cast<int>(m.vic.size()) ? m.vic[reg] : 0xFF;
  }
  if (address >= 0xD800 && address < 0xDC00)
    // The high four bits are whatever is on the bus.
    return static_cast<std::uint8_t>((m.colour_ram[address & 0x3FF] & 0x0F) | (m.cycles << 4));
  if (address >= 0xDC00 && address < 0xDD00) {
    switch (address & 0x0F) {
      case 0: {
        const auto lines =
            static_cast<std::uint8_t>(m.keyboard_columns | ~m.keyboard_columns_direction);
        return m.fire_port2 ? lines & ~kFire : lines;
      }
      case 1: {
        ++m.keyboard_reads;
        const std::uint8_t driven_low =
            m.keyboard_columns_direction & static_cast<std::uint8_t>(~m.keyboard_columns);
        const bool row_low = (m.space_down && (driven_low & kSpaceColumn)) || m.fire_port1;
        return row_low ? 0xFF ^ kSpaceRow : 0xFF;
      }
      case 2:
        return m.keyboard_columns_direction;
      case 3:
        return m.keyboard_rows_direction;
      case 4:
        return static_cast<std::uint8_t>(m.timer_a);
      case 5:
        return static_cast<std::uint8_t>(m.timer_a >> 8);
      case 0x0D: {
        // Reading answers the interrupt: the flags go.
        const std::uint8_t flags = m.cia1_interrupts;
        m.cia1_interrupts = 0;
        return flags | ((flags & m.cia1_interrupt_mask) ? 0x80 : 0);
      }
      case 0x0E:
        return m.cia1_control_a;
    }
  }
  if (address >= 0xDD00 && address < 0xDE00) {
    switch (address & 0x0F) {
      case 0:
        return m.cia2_port_a | static_cast<std::uint8_t>(~m.cia2_direction_a);
      case 2:
        return m.cia2_direction_a;
    }
  }
  stop(m, formatted("read of $%04X, which is not modelled", address));
  return 0;
}

void write_io(C64& m, std::uint16_t address, std::uint8_t value) {
  if (address < 0xD400 && (address & 0x3F) == kInterruptLatch) {
    m.vic_interrupts &= static_cast<std::uint8_t>(~value);  // 1s answer
    return;
  }
  if (address < 0xD400 && (address & 0x3F) < static_cast<int>(m.vic.size())) {
    m.vic[address & 0x3F] = value;
    if ((address & 0x3F) == kInterruptMask) m.vic_interrupt_mask = value & 0x0F;
    return;
  }
  if (address >= 0xD400 && address < 0xD419) {
    m.sid[address - 0xD400] = value;
    m.sid_writes.push_back({m.cycles, static_cast<std::uint8_t>(address - 0xD400), value});
    return;
  }
  if (address >= 0xD800 && address < 0xDC00) {
    m.colour_ram[address & 0x3FF] = value & 0x0F;
    return;
  }
  if (address >= 0xDC00 && address < 0xDD00) {
    switch (address & 0x0F) {
      case 0: m.keyboard_columns = value; return;
      case 2: m.keyboard_columns_direction = value; return;
      case 3: m.keyboard_rows_direction = value; return;
      case 4:
        m.timer_a_latch = static_cast<std::uint16_t>((m.timer_a_latch & 0xFF00) | value);
        return;
      case 5:
        m.timer_a_latch = static_cast<std::uint16_t>((m.timer_a_latch & 0x00FF) | value << 8);
        if (!(m.cia1_control_a & 1)) m.timer_a = m.timer_a_latch;  // a stopped timer loads
        return;
      case 0x0D:
        // Bit 7 sets the mask bits written as 1, else clears them.
        if (value & 0x80)
          m.cia1_interrupt_mask |= value & 0x1F;
        else
          m.cia1_interrupt_mask &= static_cast<std::uint8_t>(~value);
        return;
      case 0x0E:
        if (value & 0x08) break;  // one-shot
        if (value & 0x10) m.timer_a = m.timer_a_latch;  // force load
        m.cia1_control_a = value & static_cast<std::uint8_t>(~0x10);
        return;
    }
  }
  if (address >= 0xDD00 && address < 0xDE00) {
    switch (address & 0x0F) {
      case 0: m.cia2_port_a = value; return;
      case 2: m.cia2_direction_a = value; return;
    }
  }
  stop(m, formatted("write of $%02X to $%04X, which is not modelled", value, address));
}

std::uint8_t read(C64& m, std::uint16_t address) {
  if (address >= 0xA000 && address < 0xC000 && basic_rom_visible(m))
    stop(m, formatted("read of BASIC ROM at $%04X", address));
  else if (address >= 0xE000 && kernal_rom_visible(m))
    stop(m, formatted("read of KERNAL ROM at $%04X", address));
  else if (address >= 0xD000 && address < 0xE000 && char_rom_visible(m))
    stop(m, formatted("read of character ROM at $%04X", address));
  else if (address >= 0xD000 && address < 0xE000 && io_visible(m))
    return read_io(m, address);
  else
    return m.ram[address];
  return 0;
}

void write(C64& m, std::uint16_t address, std::uint8_t value) {
  if (address >= 0xD000 && address < 0xE000 && io_visible(m))
    write_io(m, address, value);
  else
    m.ram[address] = value;
}

std::uint8_t fetch(C64& m) { return read(m, m.pc++); }

std::uint16_t fetch_word(C64& m) {
  const std::uint8_t low = fetch(m);
  return static_cast<std::uint16_t>(low | fetch(m) << 8);
}

void push(C64& m, std::uint8_t value) { m.ram[0x100 + m.s--] = value; }
std::uint8_t pull(C64& m) { return m.ram[0x100 + ++m.s]; }

std::uint8_t set_nz(C64& m, std::uint8_t value) {
  m.p = static_cast<std::uint8_t>((m.p & ~(kNegative | kZero)) | (value & kNegative) |
                                  (value == 0 ? kZero : 0));
  return value;
}

void set_carry(C64& m, bool carry) {
  m.p = static_cast<std::uint8_t>((m.p & ~kCarry) | (carry ? kCarry : 0));
}

void compare(C64& m, std::uint8_t reg, std::uint8_t value) {
  set_nz(m, static_cast<std::uint8_t>(reg - value));
  set_carry(m, reg >= value);
}

// Binary addition with carry, the flags as the 6502 sets them; SBC adds the
// complement. Decimal mode is not modelled.
void add(C64& m, std::uint8_t value) {
  if (m.p & kDecimal) stop(m, "decimal mode, which is not modelled");
  const unsigned sum = m.a + value + (m.p & kCarry);
  const bool overflow = (~(m.a ^ value) & (m.a ^ sum) & 0x80) != 0;
  set_carry(m, sum > 0xFF);
  m.p = static_cast<std::uint8_t>((m.p & ~kOverflow) | (overflow ? kOverflow : 0));
  set_nz(m, m.a = static_cast<std::uint8_t>(sum));
}

void subtract(C64& m, std::uint8_t value) { add(m, static_cast<std::uint8_t>(~value)); }

// The shifts and rotations: the bit shifted out goes to C.
std::uint8_t shift_left(C64& m, std::uint8_t value, bool rotate) {
  const auto result = static_cast<std::uint8_t>(value << 1 | (rotate ? (m.p & kCarry) : 0));
  set_carry(m, value & 0x80);
  return set_nz(m, result);
}

std::uint8_t shift_right(C64& m, std::uint8_t value, bool rotate) {
  const auto result = static_cast<std::uint8_t>(value >> 1 | (rotate && (m.p & kCarry) ? 0x80 : 0));
  set_carry(m, value & 0x01);
  return set_nz(m, result);
}

std::uint8_t increment(C64& m, std::uint8_t value) {
  return set_nz(m, static_cast<std::uint8_t>(value + 1));
}
std::uint8_t decrement(C64& m, std::uint8_t value) {
  return set_nz(m, static_cast<std::uint8_t>(value - 1));
}
std::uint8_t shift(C64& m, std::uint8_t value) { return shift_left(m, value, false); }
std::uint8_t rotate(C64& m, std::uint8_t value) { return shift_left(m, value, true); }

// Read-modify-write of a zero page byte: 5 cycles.
void modify_zero_page(C64& m, std::uint8_t (*change)(C64&, std::uint8_t)) {
  const std::uint8_t address = fetch(m);
  write(m, address, change(m, read(m, address)));
  m.cycles += 5;
}

// A zero page address indexed by X wraps within the zero page.
std::uint8_t zero_page_x(C64& m) { return static_cast<std::uint8_t>(fetch(m) + m.x); }

bool crosses_page(std::uint16_t from, std::uint16_t to) { return (from ^ to) & 0xFF00; }

// Adds a page crossing's extra cycle where the instruction pays one.
std::uint16_t indexed(C64& m, std::uint16_t base, std::uint8_t index, bool pays) {
  const auto address = static_cast<std::uint16_t>(base + index);
  if (pays && crosses_page(base, address)) ++m.cycles;
  return address;
}

std::uint16_t absolute_x(C64& m, bool pays) { return indexed(m, fetch_word(m), m.x, pays); }
std::uint16_t absolute_y(C64& m, bool pays) { return indexed(m, fetch_word(m), m.y, pays); }

std::uint16_t indirect_y(C64& m, bool pays) {
  const std::uint8_t pointer = fetch(m);
  const std::uint8_t low = read(m, pointer);
  const std::uint8_t high = read(m, static_cast<std::uint8_t>(pointer + 1));
  return indexed(m, static_cast<std::uint16_t>(low | high << 8), m.y, pays);
}

void branch(C64& m, bool taken) {
  const auto offset = static_cast<std::int8_t>(fetch(m));
  m.cycles += 2;
  if (!taken) return;
  const auto target = static_cast<std::uint16_t>(m.pc + offset);
  m.cycles += crosses_page(m.pc, target) ? 2 : 1;
  m.pc = target;
}

int line_cycles(const C64& m) { return m.ntsc ? kNtscLineCycles : kPalLineCycles; }

// The beam and the timer run on to the cycle count now from `before`.
void run_time(C64& m, std::uint64_t before) {
  const auto cycles_a_line = static_cast<std::uint64_t>(line_cycles(m));
  const int lines = m.ntsc ? kNtscLines : kPalLines;
  const int compare = m.vic[kRaster] | (m.vic[0x11] & 0x80) << 1;
  for (std::uint64_t line = before / cycles_a_line + 1; line <= m.cycles / cycles_a_line; ++line)
    if (static_cast<int>(line % static_cast<std::uint64_t>(lines)) == compare)
      m.vic_interrupts |= 1;
  if (m.cia1_control_a & 1) {
    m.timer_a -= static_cast<std::int64_t>(m.cycles - before);
    while (m.timer_a < 0) {
      m.timer_a += m.timer_a_latch + 1;
      m.cia1_interrupts |= 1;
    }
  }
}

bool interrupt_line(const C64& m) {
  return (m.vic_interrupts & m.vic_interrupt_mask) != 0 ||
         (m.cia1_interrupts & m.cia1_interrupt_mask) != 0;
}

}  // namespace

int raster_line(const C64& m) {
  const int lines = m.ntsc ? kNtscLines : kPalLines;
  return static_cast<int>(m.cycles / static_cast<std::uint64_t>(line_cycles(m)) %
                          static_cast<std::uint64_t>(lines));
}

C64 cold_start(bool ntsc) {
  C64 m;
  m.ntsc = ntsc;
  m.timer_a_latch = ntsc ? 0x4295 : 0x4025;
  m.timer_a = m.timer_a_latch;
  m.cia1_control_a = 0x01;
  m.cia1_interrupt_mask = 0x01;
  m.ram[0] = 0x2F;
  m.ram[1] = 0x37;
  m.vic[0x11] = 0x1B;  // text, display on, 25 rows, y scroll 3
  m.vic[0x16] = 0xC8;  // 40 columns (bits 6-7 read as 1)
  m.vic[0x18] = 0x15;  // screen $0400, characters from ROM at $1000
  m.vic[0x20] = 0xFE;  // light blue border
  m.vic[0x21] = 0xF6;  // blue background
  return m;
}

bool sys_program(C64& m, std::span<const std::uint8_t> file) {
  if (file.size() < 14 || file.size() > 0xA000 - 0x0801 + 2 || file[0] != 0x01 || file[1] != 0x08 ||
      file[6] != 0x9E)
    return false;
  std::size_t at = 7;  // after load address, link, line number and SYS
  int address = 0;
  while (at < file.size() && file[at] >= '0' && file[at] <= '9' && address < 0x10000)
    address = address * 10 + (file[at++] - '0');
  // The line ends, and its link leads to the end of the program: a link of 0.
  const std::size_t next_line = static_cast<std::size_t>(file[2] | file[3] << 8) - 0x0801 + 2;
  if (at + 2 >= file.size() || file[at] != 0 || next_line != at + 1 || file[at + 1] != 0 ||
      file[at + 2] != 0 || address >= 0x10000)
    return false;
  std::copy(file.begin() + 2, file.end(), m.ram.begin() + 0x0801);
  m.ram[0x0100 + kStackAtSys + 2] = (kSysReturn - 1) >> 8;
  m.ram[0x0100 + kStackAtSys + 1] = (kSysReturn - 1) & 0xFF;
  m.s = kStackAtSys;
  m.pc = static_cast<std::uint16_t>(address);
  return true;
}

bool step(C64& m) {
  if (!m.fault.empty()) return false;
  const std::uint64_t before = m.cycles;
  const bool delayed = m.interrupt_delayed;
  m.interrupt_delayed = false;
  if (!delayed && !(m.p & kInterrupt) && interrupt_line(m)) {
    if (kernal_rom_visible(m)) {
      stop(m, "an interrupt with the KERNAL banked in: its handler is not modelled");
      return false;
    }
    push(m, static_cast<std::uint8_t>(m.pc >> 8));
    push(m, static_cast<std::uint8_t>(m.pc));
    push(m, static_cast<std::uint8_t>((m.p & ~kBreak) | kUnused));
    m.p |= kInterrupt;
    m.pc = static_cast<std::uint16_t>(m.ram[0xFFFE] | m.ram[0xFFFF] << 8);
    m.cycles += 7;
    ++m.interrupts_taken;
    run_time(m, before);
    return true;
  }
  const std::uint16_t at = m.pc;
  const std::uint8_t opcode = fetch(m);
  switch (opcode) {
    case 0xA9: set_nz(m, m.a = fetch(m)); m.cycles += 2; break;                       // LDA #
    case 0xA5: set_nz(m, m.a = read(m, fetch(m))); m.cycles += 3; break;              // LDA zp
    case 0xAD: set_nz(m, m.a = read(m, fetch_word(m))); m.cycles += 4; break;         // LDA abs
    case 0xBD: set_nz(m, m.a = read(m, absolute_x(m, true))); m.cycles += 4; break;   // LDA abs,X
    case 0xB1: set_nz(m, m.a = read(m, indirect_y(m, true))); m.cycles += 5; break;   // LDA (zp),Y
    case 0xA2: set_nz(m, m.x = fetch(m)); m.cycles += 2; break;                       // LDX #
    case 0xA0: set_nz(m, m.y = fetch(m)); m.cycles += 2; break;                       // LDY #
    case 0x85: write(m, fetch(m), m.a); m.cycles += 3; break;                         // STA zp
    case 0x8D: write(m, fetch_word(m), m.a); m.cycles += 4; break;                    // STA abs
    case 0x9D: write(m, absolute_x(m, false), m.a); m.cycles += 5; break;             // STA abs,X
    case 0x91: write(m, indirect_y(m, false), m.a); m.cycles += 6; break;             // STA (zp),Y
    case 0x29: set_nz(m, m.a &= fetch(m)); m.cycles += 2; break;                      // AND #
    case 0x09: set_nz(m, m.a |= fetch(m)); m.cycles += 2; break;                      // ORA #
    case 0xC9: compare(m, m.a, fetch(m)); m.cycles += 2; break;                       // CMP #
    case 0xCD: compare(m, m.a, read(m, fetch_word(m))); m.cycles += 4; break;         // CMP abs
    case 0xE6: modify_zero_page(m, increment); break;                                 // INC zp
    case 0xC6: modify_zero_page(m, decrement); break;                                 // DEC zp
    case 0x06: modify_zero_page(m, shift); break;                                     // ASL zp
    case 0x26: modify_zero_page(m, rotate); break;                                    // ROL zp
    case 0x2A: m.a = shift_left(m, m.a, true); m.cycles += 2; break;                 // ROL A
    case 0x4A: m.a = shift_right(m, m.a, false); m.cycles += 2; break;               // LSR A
    case 0x6A: m.a = shift_right(m, m.a, true); m.cycles += 2; break;                // ROR A
    case 0x69: add(m, fetch(m)); m.cycles += 2; break;                                // ADC #
    case 0x65: add(m, read(m, fetch(m))); m.cycles += 3; break;                       // ADC zp
    case 0xE5: subtract(m, read(m, fetch(m))); m.cycles += 3; break;                  // SBC zp
    case 0x6D: add(m, read(m, fetch_word(m))); m.cycles += 4; break;                  // ADC abs
    case 0x2C: {                                                                      // BIT abs
      const std::uint8_t value = read(m, fetch_word(m));
      m.p = static_cast<std::uint8_t>((m.p & ~(kNegative | kOverflow | kZero)) | (value & 0xC0) |
                                      ((m.a & value) == 0 ? kZero : 0));
      m.cycles += 4;
      break;
    }
    case 0xB5: set_nz(m, m.a = read(m, zero_page_x(m))); m.cycles += 4; break;        // LDA zp,X
    case 0x95: write(m, zero_page_x(m), m.a); m.cycles += 4; break;                   // STA zp,X
    case 0xA6: set_nz(m, m.x = read(m, fetch(m))); m.cycles += 3; break;              // LDX zp
    case 0x86: write(m, fetch(m), m.x); m.cycles += 3; break;                         // STX zp
    case 0x84: write(m, fetch(m), m.y); m.cycles += 3; break;                         // STY zp
    case 0x18: set_carry(m, false); m.cycles += 2; break;                             // CLC
    case 0xE8: set_nz(m, ++m.x); m.cycles += 2; break;                                // INX
    case 0xC8: set_nz(m, ++m.y); m.cycles += 2; break;                                // INY
    case 0x8A: set_nz(m, m.a = m.x); m.cycles += 2; break;                            // TXA
    case 0x98: set_nz(m, m.a = m.y); m.cycles += 2; break;                            // TYA
    case 0xCA: set_nz(m, --m.x); m.cycles += 2; break;                                // DEX
    case 0xAA: set_nz(m, m.x = m.a); m.cycles += 2; break;                            // TAX
    case 0x48: push(m, m.a); m.cycles += 3; break;                                    // PHA
    case 0x68: set_nz(m, m.a = pull(m)); m.cycles += 4; break;                        // PLA
    case 0x08: push(m, m.p | kBreak | kUnused); m.cycles += 3; break;                 // PHP
    case 0x28: {                                                                      // PLP
      const bool was_off = (m.p & kInterrupt) != 0;
      m.p = static_cast<std::uint8_t>((pull(m) & ~kBreak) | kUnused);
      m.interrupt_delayed = was_off && !(m.p & kInterrupt);
      m.cycles += 4;
      break;
    }
    case 0x78: m.p |= kInterrupt; m.cycles += 2; break;                               // SEI
    case 0xD0: branch(m, !(m.p & kZero)); break;                                      // BNE
    case 0xF0: branch(m, m.p & kZero); break;                                         // BEQ
    case 0x10: branch(m, !(m.p & kNegative)); break;                                  // BPL
    case 0x90: branch(m, !(m.p & kCarry)); break;                                     // BCC
    case 0xB0: branch(m, m.p & kCarry); break;                                        // BCS
    case 0x20: {                                                                      // JSR
      const std::uint16_t target = fetch_word(m);
      const auto last = static_cast<std::uint16_t>(m.pc - 1);
      push(m, static_cast<std::uint8_t>(last >> 8));
      push(m, static_cast<std::uint8_t>(last));
      m.pc = target;
      m.cycles += 6;
      break;
    }
    case 0x60: {                                                                      // RTS
      const std::uint8_t low = pull(m);
      m.pc = static_cast<std::uint16_t>((low | pull(m) << 8) + 1);
      m.cycles += 6;
      break;
    }
    case 0xAC: set_nz(m, m.y = read(m, fetch_word(m))); m.cycles += 4; break;         // LDY abs
    case 0xAE: set_nz(m, m.x = read(m, fetch_word(m))); m.cycles += 4; break;         // LDX abs
    case 0xBC: set_nz(m, m.y = read(m, absolute_x(m, true))); m.cycles += 4; break;   // LDY abs,X
    case 0xB9: set_nz(m, m.a = read(m, absolute_y(m, true))); m.cycles += 4; break;   // LDA abs,Y
    case 0x99: write(m, absolute_y(m, false), m.a); m.cycles += 5; break;             // STA abs,Y
    case 0x8C: write(m, fetch_word(m), m.y); m.cycles += 4; break;                    // STY abs
    case 0x8E: write(m, fetch_word(m), m.x); m.cycles += 4; break;                    // STX abs
    case 0x2D: set_nz(m, m.a &= read(m, fetch_word(m))); m.cycles += 4; break;        // AND abs
    case 0x0D: set_nz(m, m.a |= read(m, fetch_word(m))); m.cycles += 4; break;        // ORA abs
    case 0x0A: m.a = shift_left(m, m.a, false); m.cycles += 2; break;                // ASL A
    case 0xE0: compare(m, m.x, fetch(m)); m.cycles += 2; break;                       // CPX #
    case 0xA8: set_nz(m, m.y = m.a); m.cycles += 2; break;                            // TAY
    case 0x88: set_nz(m, --m.y); m.cycles += 2; break;                                // DEY
    case 0x30: branch(m, m.p & kNegative); break;                                     // BMI
    case 0xEE: {                                                                      // INC abs
      const std::uint16_t address = fetch_word(m);
      write(m, address, increment(m, read(m, address)));
      m.cycles += 6;
      break;
    }
    case 0x4C: m.pc = fetch_word(m); m.cycles += 3; break;                            // JMP abs
    case 0x6C: {                                                                      // JMP (abs)
      const std::uint16_t pointer = fetch_word(m);
      // The 6502 takes the high byte from the same page.
      const auto high = static_cast<std::uint16_t>((pointer & 0xFF00) | ((pointer + 1) & 0xFF));
      m.pc = static_cast<std::uint16_t>(read(m, pointer) | read(m, high) << 8);
      m.cycles += 5;
      break;
    }
    case 0x58:                                                                        // CLI
      m.interrupt_delayed = (m.p & kInterrupt) != 0;
      m.p &= static_cast<std::uint8_t>(~kInterrupt);
      m.cycles += 2;
      break;
    case 0x40: {                                                                      // RTI
      m.p = static_cast<std::uint8_t>((pull(m) & ~kBreak) | kUnused);
      const std::uint8_t low = pull(m);
      m.pc = static_cast<std::uint16_t>(low | pull(m) << 8);
      m.cycles += 6;
      break;
    }
    default:
      stop(m, formatted("opcode $%02X at $%04X is not one the displayers use", opcode, at));
  }
  run_time(m, before);
  return m.fault.empty();
}

std::uint16_t vic_bank(const C64& m) {
  const int bits = (m.cia2_port_a | ~m.cia2_direction_a) & 3;
  return static_cast<std::uint16_t>((3 - bits) * 0x4000);
}

int vic_read(const C64& m, std::uint16_t address) {
  if ((address & 0x7000) == 0x1000) return -1;
  return m.ram[address];
}

}  // namespace bitmosaic::testing
