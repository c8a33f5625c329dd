; The displayer: a C64 program that shows one Koala picture when it is
; loaded and RUN, waits for the space bar and goes back to BASIC as it found
; it. bitmosaic assembles this file at build time (64tass) and writes the
; result followed by two things of the picture's own (displayer.cc):
;
;   border_colour  0..15, the background unless --border names one
;   packed         the picture in the order it unpacks to (colour RAM,
;                  screen colours, bitmap, background; see below), packed
;                  in bitmosaic's LZ coding (lz_pack.h)
;
; It runs from a cold start with the standard ROMs on PAL and NTSC machines:
; it uses documented opcodes only, reads no ROM, and waits for nothing but
; the keyboard, so the beam's timing (which differs between the two) does
; not matter. Interrupts stay off while the picture is shown; the keyboard
; is read through CIA 1 directly. The screen is off while the picture is
; unpacked, so the VIC takes next to no cycles from the processor; the
; displayer test counts the cycles to the finished picture.
;
; Memory:
;   $0801-$080c  the BASIC line `SYS 2061`
;   $080d-       this code, then border_colour and the packed data, which
;                end below the picture for any picture: unpacking never
;                writes over a byte it has still to read, and the program
;                can be RUN again
;   $5800-$5be7  the picture's colour-RAM colours as unpacked; the text
;                screen's colour RAM while the picture is shown
;   $5c00-$5fe7  the picture's screen colours: the VIC's screen
;   $6000-$7f3f  the bitmap
;   $7f40        the background
;   $f4-$fe      the unpacker's bits, counts and pointers, put back at the
;                end
; The 24 bytes between colour RAM, screen and bitmap ($5be8-$5bff,
; $5fe8-$5fff) unpack too, as a repeat of the 24 before them (a few bits of
; packing), so that the picture unpacks in one piece straight to its
; places. The VIC shows bank 1 ($4000-$7fff): it holds no image of the
; character ROM, BASIC keeps nothing there after RUN, and it lies below
; $8000, where a cartridge's ROM may be seen. The text screen at $0400 is
; not touched.
;
; The unpacker takes 21 cycles a byte it makes and about 300 a match; the
; packer counts them (lz_unpack's count) and keeps the whole within a
; million cycles, about a second, for any picture.

        .cpu "6502"             ; documented opcodes only

; The places of the picture
vic_bank        = $4000         ; CIA 2 port A bits 0-1 = %10
colours         = vic_bank + $1800
screen          = vic_bank + $1c00 ; $d018 bits 4-7 = 7
bitmap          = vic_bank + $2000 ; $d018 bit 3 = 1
background      = bitmap + 8000
unpacked        = colours
unpacked_end    = background + 1
        .cerror colours + 1000 > screen || screen + 1000 > bitmap, "the parts overlap"
        .cerror unpacked_end > $8000, "the picture reaches a cartridge's ROM"

; The zero page the unpacker uses; it is saved on the stack and put back.
zero_page       = $f4
bit_byte        = $f4           ; the bits left of a bit byte, above a 1
length          = $f5           ; a count; 16 bits, the high byte 0 between
                                ; the steps
offset          = $f7           ; the last match's offset less one; 16 bits
source          = $f9           ; the next packed byte
target          = $fb           ; the next unpacked byte
from            = $fd           ; the next byte a copy takes
zero_page_bytes = 11

; The KERNAL's count of keys waiting in its keyboard buffer
keys_waiting    = $c6

; VIC
vic_control1    = $d011         ; 7 raster compare bit 8, 6 extended colour,
                                ; 5 bitmap, 4 display on, 3 25 rows, 0-2 y scroll
vic_control2    = $d016         ; 4 multicolour, 3 40 columns, 0-2 x scroll
vic_memory      = $d018         ; 4-7 screen / $400, 3 bitmap / $2000
vic_border      = $d020
vic_background  = $d021
colour_ram      = $d800

; CIA 1: the keyboard matrix. A column driven low on port A pulls the rows
; of its pressed keys low on port B. The KERNAL has set port A to output
; and port B to input.
keyboard_columns = $dc00
keyboard_rows    = $dc01
space_column     = %01111111    ; column 7 low
space_row        = %00010000    ; row 4

; CIA 2 port A bits 0-1: the VIC's 16 KB bank, inverted
vic_bank_port   = $dd00
vic_bank_bits   = %10           ; $4000-$7fff

; The settings the picture is shown with
show_control1   = %00111011     ; bitmap, display on, 25 rows, y scroll 3
show_control2   = %00011000     ; multicolour, 40 columns, x scroll 0
show_memory     = (screen - vic_bank) / $0400 * 16 | (bitmap - vic_bank) / $2000 * 8
blank_control1  = %00001011     ; display off: the whole screen is border

; BASIC's line 2024: SYS to the code
        * = $0801
        .word end_of_basic      ; link to the next line
        .word 2024              ; line number
        .null $9e, format("%d", start) ; SYS and its address, ended by 0
end_of_basic
        .word 0                 ; no next line: the end of the program

start
        php                     ; BASIC's interrupt flag, back at the end
        sei                     ; the KERNAL's interrupt stays out meanwhile

        ; Every register this program writes goes on the stack, and the
        ; zero page it uses; they come back in the reverse order.
        lda vic_control1
        and #%01111111          ; bit 7 reads the beam's line; the compare
        pha                     ; line's bit 8 the KERNAL set is 0
        lda vic_control2
        pha
        lda vic_memory
        pha
        lda vic_border
        pha
        lda vic_background
        pha
        lda vic_bank_port
        pha
        lda keyboard_columns
        pha
        ldx #zero_page_bytes - 1
-       lda zero_page,x
        pha
        dex
        bpl -

        ; Nothing half-built shows while the picture is unpacked.
        lda #blank_control1
        sta vic_control1

        ; Unpack. Y stays 0 outside the copies, so (source),y and the like
        ; are the pointers themselves.
        lda #<packed
        sta source
        lda #>packed
        sta source+1
        lda #<unpacked
        sta target
        lda #>unpacked
        sta target+1
        lda #%10000000          ; no bits left: the first bit reads a byte
        sta bit_byte
        ldy #0
        sty length+1
literals
        jsr gamma               ; the count
        lda source              ; the bytes themselves, copied from the
        sta from                ; packed data, which goes on after them
        lda source+1
        sta from+1
        jsr copy
        tya
        clc
        adc from
        sta source
        lda from+1
        adc #0
        sta source+1
        ldy #0
        asl bit_byte            ; 1: a new match, 0: the last offset again
        bne +
        jsr next_bits
+       bcs new_match
        jsr gamma               ; the length
        bcc match               ; always: gamma ends on a 0 bit
new_match
        jsr gamma               ; the offset's high part + 1
        ldx length+1
        bne unpacked_all        ; 256: the end
        ldx length
        dex
        txa
        lsr a                   ; high / 2 is the high byte of offset - 1,
        sta offset+1            ; its last bit goes to the top of the low
        lda (source),y
        inc source
        bne +
        inc source+1
+       ror a                   ; 7 bits of offset, and the length's first
        sta offset              ; bit (of length - 1) in C
        jsr gamma_after_first
        inc length
        bne match
        inc length+1
match
        clc                     ; from = target - (offset - 1) - 1
        lda target
        sbc offset
        sta from
        lda target+1
        sbc offset+1
        sta from+1
        jsr copy
        ldy #0
        asl bit_byte            ; 1: a new match, 0: a literal run
        bne +
        jsr next_bits
+       bcs new_match
        bcc literals            ; always
unpacked_all

        ; The picture's colours to colour RAM, the text screen's colours
        ; from there to their place, kept for the end.
        jsr swap_colours

        ; Show it.
        lda vic_bank_port
        and #%11111100
        ora #vic_bank_bits
        sta vic_bank_port
        lda #show_memory
        sta vic_memory
        lda #show_control2
        sta vic_control2
        lda background
        sta vic_background
        lda border_colour
        sta vic_border
        lda #show_control1
        sta vic_control1

        ; Wait for the space bar to go down and up again: a key still held
        ; at READY would be typed by the KERNAL.
        lda #space_column
        sta keyboard_columns
        lda #space_row
-       bit keyboard_rows
        bne -
-       bit keyboard_rows
        beq -

        ; Back: the text screen's colours, then the zero page and the
        ; registers.
        lda #blank_control1
        sta vic_control1
        jsr swap_colours
        ldx #256 - zero_page_bytes
-       pla                     ; zero page addresses wrap: X from $f7
        sta zero_page + zero_page_bytes - 256 & $ff,x
        inx
        bne -
        pla
        sta keyboard_columns
        pla
        sta vic_bank_port
        pla
        sta vic_background
        pla
        sta vic_border
        pla
        sta vic_memory
        pla
        sta vic_control2
        pla
        sta vic_control1

        lda #0                  ; keys pressed meanwhile are not typed
        sta keys_waiting
        plp
        rts                     ; to BASIC's SYS, which goes on to READY

        .include "lz_routines.asm"

; Exchanges colour RAM with the 1024 bytes from colours (the 24 after the
; picture's 1000 go along).
swap_colours
        lda #>colour_ram
        sta target+1
        lda #>colours
        sta from+1
        ldy #0
        sty target
        sty from
        ldx #4
-       lda (target),y
        pha
        lda (from),y
        sta (target),y
        pla
        sta (from),y
        iny
        bne -
        inc target+1
        inc from+1
        dex
        bne -
        rts

; bitmosaic writes these after the code.
border_colour   = *
packed          = * + 1

; Packing never makes the data longer than one literal run of it with its
; gamma code and the end code: 10049 bytes and 6 more.
longest_packed  = unpacked_end - unpacked + 6
        .cerror packed + longest_packed > unpacked, "the packed data could reach the picture"
