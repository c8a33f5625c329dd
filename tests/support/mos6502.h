// A 6502 and as much of the C64 around it as the displayer program needs:
// RAM, the processor port's ROM banking, the VIC's registers and what it
// reads, colour RAM, CIA 1's keyboard matrix with a space bar the test
// presses, and CIA 2's VIC bank bits.
//
// No ROM images exist here, so reading ROM (or running in it) stops the
// machine, as do an opcode the displayer does not use, the beam's position
// (PAL and NTSC differ in it) and any register not modelled; `fault` says
// why. There are no interrupts and no beam: the cycles counted are the
// processor's own, without the cycles the VIC takes on a shown screen.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

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

  // CIA 2 port A: bits 0-1 choose the VIC's bank (inverted)
  std::uint8_t cia2_port_a = 0x97;
  std::uint8_t cia2_direction_a = 0x3F;
};

// The machine as the KERNAL leaves it after a cold start: processor port
// $37, the VIC showing the text screen at $0400 in bank 0, the CIAs' ports
// set for the keyboard and the bank.
C64 cold_start();

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
