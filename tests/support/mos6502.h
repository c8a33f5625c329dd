// A 6502 and as much of the C64 around it as the displayer programs need:
// RAM, the processor port's ROM banking, the VIC's registers, its beam
// (PAL 312 lines of 63 cycles, NTSC 263 of 65) and raster-compare
// interrupt, what it reads, colour RAM, CIA 1's keyboard matrix with a
// space bar the test presses, the fire buttons of both joystick ports, CIA
// 1's timer A and its interrupt, CIA 2's VIC bank bits, and the SID's
// registers as written, with a log of the writes.
//
// No ROM images exist here, so reading ROM (or running in it) stops the
// machine, as do an opcode the displayers do not use and any register not
// modelled; `fault` says why. An interrupt goes through the vector at
// $fffe, so it stops the machine unless the KERNAL is banked out: the
// KERNAL's own handler is not modelled, and a program that plays a tune
// answers its interrupts there itself. The cycles counted are the
// processor's own, without the cycles the VIC takes on a shown screen.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace bitmosaic::testing {

struct C64 {
  // The processor
  std::uint16_t pc = 0;
  std::uint8_t a = 0, x = 0, y = 0;
  std::uint8_t s = 0xFF;
  std::uint8_t p = 0x24;  // N V 1 B D I Z C
  std::uint64_t cycles = 0;
  std::string fault;  // why the machine stopped; empty while it runs

  // RAM, all of it: writes reach it under the ROMs too. $00/$01 hold the
  // processor port's direction and data.
  std::array<std::uint8_t, 0x10000> ram{};
  std::array<std::uint8_t, 1024> colour_ram{};  // four bits a byte
  std::array<std::uint8_t, 0x2F> vic{};         // $d000-$d02e as written

  // CIA 1: port A drives the keyboard's columns, port B reads its rows.
  std::uint8_t keyboard_columns = 0x7F;
  std::uint8_t keyboard_columns_direction = 0xFF;
  std::uint8_t keyboard_rows_direction = 0x00;
  bool space_down = false;
  int keyboard_reads = 0;  // reads of the rows ($dc01)

  // The fire buttons: port 2's pulls CIA 1 port A's bit 4 low, port 1's
  // port B's (the space bar's row).
  bool fire_port1 = false;
  bool fire_port2 = false;

  // The beam: the machine's line count and cycles a line.
  bool ntsc = false;
  std::uint8_t vic_interrupts = 0;      // $d019's latch, bits 0-3
  std::uint8_t vic_interrupt_mask = 0;  // $d01a

  // CIA 1 timer A (continuous; one-shot is not modelled) and the
  // interrupt control: flags latched, mask set.
  std::uint16_t timer_a_latch = 0;
  std::int64_t timer_a = 0;
  std::uint8_t cia1_control_a = 0;
  std::uint8_t cia1_interrupts = 0;
  std::uint8_t cia1_interrupt_mask = 0;
  int interrupts_taken = 0;

  // The SID's registers $d400-$d418 as last written, and every write.
  std::array<std::uint8_t, 0x19> sid{};
  struct SidWrite {
    std::uint64_t cycle;
    std::uint8_t reg, value;
  };
  std::vector<SidWrite> sid_writes;

  // Set by CLI and PLP: the 6502 looks at the interrupt line before the
  // instruction that clears I takes effect, so one more instruction runs.
  bool interrupt_delayed = false;

  // CIA 2 port A: bits 0-1 choose the VIC's bank (inverted)
  std::uint8_t cia2_port_a = 0x97;
  std::uint8_t cia2_direction_a = 0x3F;
};

// The machine as the KERNAL leaves it after a cold start: processor port
// $37, the VIC showing the text screen at $0400 in bank 0, the CIAs' ports
// set for the keyboard and the bank, CIA 1 timer A running at the KERNAL's
// rate for the machine ($4025 PAL, $4295 NTSC) with its interrupt on.
C64 cold_start(bool ntsc = false);

// The beam's line now.
int raster_line(const C64& machine);
inline constexpr int kPalLines = 312, kPalLineCycles = 63;
inline constexpr int kNtscLines = 263, kNtscLineCycles = 65;

// BASIC's SYS calls a program with the return address of its own next
// step on the stack; that lies in the ROM, which the machine cannot run, so
// a run stops when the program returns there.
inline constexpr std::uint16_t kSysReturn = 0xE147;
inline constexpr std::uint8_t kStackAtSys = 0xF6;

// Loads `file`, a program that is one BASIC line "SYS <address>", where
// LOAD puts it ($0801), and sets the processor where SYS leaves it: at the
// address, with the return address into BASIC on the stack. False when the
// file is no such program.
bool sys_program(C64& machine, std::span<const std::uint8_t> file);

// Runs one instruction; false once the machine has stopped.
bool step(C64& machine);

// Where the VIC's 16 KB bank starts.
std::uint16_t vic_bank(const C64& machine);

// The byte the VIC reads at `address` of the 64 KB, or -1 where it sees the
// character ROM instead of RAM ($1000-$1fff and $9000-$9fff).
int vic_read(const C64& machine, std::uint16_t address);

}  // namespace bitmosaic::testing
