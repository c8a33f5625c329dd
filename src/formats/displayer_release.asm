; The release displayer: the displayer (displayer.asm) with a fade in from
; black and out to black (FADE true), a SID tune played while the picture
; shows (TUNE true), or both; the picture in the VIC's bank 1, or for a
; tune in bank 1 in bank 2 (BANK). displayer_fade.asm, displayer_tune.asm,
; displayer_fade_tune.asm and the last two's _bank2 set the three and
; include this file; bitmosaic assembles each at build time and writes the
; one asked for, followed by the picture's own bytes (displayer.cc):
;
;   border_colour  0..15
;   tune           (TUNE only) 17 bytes: load, end, init and play addresses,
;                  the song for init (start song - 1), how play is
;                  called on a PAL and on an NTSC machine (a word each: 0
;                  from a raster interrupt once a frame, 1 from CIA 1 timer
;                  A at the rate init set, else timer A with that latch),
;                  where the packed tune moves before it unpacks and its
;                  length (0: it stays)
;   packed         the picture in the LZ coding, as displayer.asm unpacks it
;   packed tune    (TUNE only) the tune's data in the same coding, unpacked
;                  to its load address
;
; Memory, besides what displayer.asm uses ($0801-, $5800-$7f40):
;   $4000-$43ff  the screen colours of the fade's step (FADE)
;   $4400-$47ff  the text screen's colour RAM meanwhile (FADE)
;   $4800-$48ff  a screen byte's colours at the fade's step (FADE)
;   $4902-$49ff  a copy of zero page $02-$ff (TUNE)
;   $4a00-$4a2f  the machine (0 PAL, 2 NTSC; TUNE); the fade's step, a
;                scratch byte, and each colour at the step, as is and in the
;                high four bits (FADE)
;   $4b00-$4eff  the code and head of a tune program (TUNE)
;   $fffa-$ffff  the NMI and IRQ vectors in the RAM under the KERNAL (TUNE)
; In bank 2 the same lie from $8000 ($8800 the text colours, $8c00 the
; table, $8d02 zero page, $8e00 the machine, $8f00 the code), the picture
; unpacks from $9800, and the screen colours shown are at $8400.
; bitmosaic writes a tune program only when the tune's data lies clear of
; the bank and of $0000-$07ff; it may lie over the loaded program, whose
; code moves to the bank first, and whose packed tune moves where the tune
; does not reach (the picture unpacks before the tune).
;
; With a tune the KERNAL and BASIC are banked out ($01 = $35) from the
; start to the end, so that the picture and the tune may unpack under the
; ROMs and the interrupts come straight to this program through $fffe; NMI
; (the RESTORE key) is answered by an RTI. The tune owns the zero page
; once init is called: this program uses none of it then, and puts all of
; $02-$ff back at the end.

        .cpu "6502"             ; documented opcodes only

; The places of the picture. BANK 1 (the default) is displayer.asm's: the
; picture unpacks from $5800 and shows from there. BANK 2 is for a tune in
; bank 1: the picture unpacks in the same order from $9800, its bitmap at
; $a000, and since the VIC sees the character ROM at $9000-$9fff, the screen
; colours it shows are copied to $8400 (a fade writes its own at $8000).
vic_bank        = BANK == 2 ? $8000 : $4000
colours         = vic_bank + $1800
screen          = colours + $0400   ; the screen colours as unpacked
bitmap          = colours + $0800
background      = bitmap + 8000
unpacked        = colours
unpacked_end    = background + 1
shown_screen    = BANK == 2 ? vic_bank + $0400 : screen
        .cerror BANK == 2 && (!TUNE || bitmap != $a000), "bank 2 is a tune's, bitmap at $a000"

; The fade's and the tune's memory
fade_screen     = vic_bank          ; the VIC's screen during a fade
text_colours    = vic_bank + (BANK == 2 ? $0800 : $0400)
fade_table      = vic_bank + (BANK == 2 ? $0c00 : $0800)
zero_page_copy  = vic_bank + (BANK == 2 ? $0d00 : $0900) ; $02-$ff at +2
machine         = vic_bank + (BANK == 2 ? $0e00 : $0a00) ; 0 PAL, 2 NTSC
fade_step_now   = machine + 1
fade_scratch    = machine + 2
fade_colours    = machine + $10 ; each colour at the fade's step
fade_high_colours = machine + $20 ; the same in the high four bits
run_at          = vic_bank + (BANK == 2 ? $0f00 : $0b00) ; a tune program's code

zero_page       = $f4
bit_byte        = $f4
length          = $f5
offset          = $f7
source          = $f9
target          = $fb
from            = $fd
zero_page_bytes = 11

keys_waiting    = $c6
processor_port  = $01

vic_control1    = $d011
vic_raster      = $d012
vic_irq_latch   = $d019
vic_irq_mask    = $d01a
vic_control2    = $d016
vic_memory      = $d018
vic_border      = $d020
vic_background  = $d021
colour_ram      = $d800

sid_control1    = $d404
sid_control2    = $d40b
sid_control3    = $d412
sid_volume      = $d418

; CIA 1: the keyboard, the joysticks, timer A
keyboard_columns = $dc00        ; port 2's joystick pulls its lines low too
keyboard_rows    = $dc01        ; and port 1's
timer_a          = $dc04
cia1_interrupts  = $dc0d
cia1_control_a   = $dc0e
space_column     = %01111111
space_or_fire    = %00010000    ; row 4: space; bit 4: fire on either port

vic_bank_port   = $dd00
vic_bank_bits   = BANK == 2 ? %01 : %10

irq_vector      = $fffe
nmi_vector      = $fffa

show_control1   = %00111011
show_control2   = %00011000
show_memory     = (shown_screen - vic_bank) / $0400 * 16 | (bitmap - vic_bank) / $2000 * 8
fade_memory     = (fade_screen - vic_bank) / $0400 * 16 | (bitmap - vic_bank) / $2000 * 8
blank_control1  = %00001011

        * = $0801
        .word end_of_basic
        .word 2024
        .null $9e, format("%d", start)
end_of_basic
        .word 0

.if TUNE
; A tune may lie over the loaded bytes: the code runs in bank 1, at run_at.
; This copies it there, with the head after it (four pages, zero page
; untouched), and goes on there.
start
        ldx #0
-       lda image,x
        sta run_at,x
        lda image+$100,x
        sta run_at+$100,x
        lda image+$200,x
        sta run_at+$200,x
        lda image+$300,x
        sta run_at+$300,x
        inx
        bne -
        jmp run
.endif
image
        .logical TUNE ? run_at : image
.if !TUNE
start
.endif
run
        php
        sei
        lda vic_control1
        and #%01111111
        pha
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
.if TUNE
        lda vic_irq_mask
        and #%00001111          ; the other bits read 1
        pha
        lda processor_port
        pha
        ldx #2                  ; all of zero page but the processor port
-       lda 0,x
        sta zero_page_copy,x
        inx
        bne -
        lda #<answer_irq        ; the vectors under the KERNAL first: an
        sta irq_vector          ; NMI may come any time
        lda #>answer_irq
        sta irq_vector+1
        lda #<answer_nmi
        sta nmi_vector
        lda #>answer_nmi
        sta nmi_vector+1
        lda #$35                ; RAM under the ROMs, I/O in: the picture
        sta processor_port      ; and the tune may unpack under them, and
                                ; their matches read back what they made
.else
        ldx #zero_page_bytes - 1
-       lda zero_page,x
        pha
        dex
        bpl -
.endif

        lda #blank_control1
        sta vic_control1
.if FADE
        lda #0                  ; the fade starts from black
        sta vic_border
.endif

        lda #<packed
        sta source
        lda #>packed
        sta source+1
        lda #<unpacked
        sta target
        lda #>unpacked
        sta target+1
        jsr unpack

.if FADE
        ; The text screen's colours kept aside; each step writes colour
        ; RAM from the picture's, which stay where they unpacked.
        ldx #0
-       lda colour_ram,x
        sta text_colours,x
        lda colour_ram+$100,x
        sta text_colours+$100,x
        lda colour_ram+$200,x
        sta text_colours+$200,x
        lda colour_ram+$300,x
        sta text_colours+$300,x
        inx
        bne -
.else
        jsr swap_colours
.if BANK == 2
        lda #>shown_screen      ; the screen colours where the VIC sees RAM
        sta target+1
        lda #>screen
        jsr swap_pages
.endif
.endif

        lda vic_bank_port
        and #%11111100
        ora #vic_bank_bits
        sta vic_bank_port
        lda #show_control2
        sta vic_control2
.if FADE
        lda #fade_memory
        sta vic_memory
.else
        lda #show_memory
        sta vic_memory
        lda background
        sta vic_background
        lda border_colour
        sta vic_border
        lda #show_control1
        sta vic_control1
.endif

.if TUNE
        jsr start_tune
.endif

.if FADE
        ; In from black: step 1 to 8, the last the picture itself. The
        ; keys wait until it is done.
        ; Each step starts with a frame and takes less than three.
        ldx #1
-       jsr wait_frame
        jsr fade_step
        lda #show_control1
        sta vic_control1
        inx
        cpx #9
        bne -
.endif

        ; Space or fire down, then up again.
        lda #space_column
        sta keyboard_columns
-       lda keyboard_columns
        and keyboard_rows
        and #space_or_fire
        bne -
-       lda keyboard_columns
        and keyboard_rows
        and #space_or_fire
        beq -

.if FADE
        ; Out to black: step 7 to 0.
        ldx #7
-       jsr wait_frame
        jsr fade_step
        dex
        bpl -
.endif

        lda #blank_control1
        sta vic_control1
.if TUNE
        jsr stop_tune
.endif
.if FADE
        ldx #0
-       lda text_colours,x
        sta colour_ram,x
        lda text_colours+$100,x
        sta colour_ram+$100,x
        lda text_colours+$200,x
        sta colour_ram+$200,x
        lda text_colours+$300,x
        sta colour_ram+$300,x
        inx
        bne -
.else
        jsr swap_colours
.endif

.if TUNE
        ldx #2
-       lda zero_page_copy,x
        sta 0,x
        inx
        bne -
        pla
        sta processor_port      ; the ROMs back
        pla
        sta vic_irq_mask
.else
        ldx #256 - zero_page_bytes
-       pla
        sta zero_page + zero_page_bytes - 256 & $ff,x
        inx
        bne -
.endif
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

        lda #0
        sta keys_waiting
        plp
        rts

; Unpacks one LZ stream from (source) to (target); source ends after it.
unpack
        lda #%10000000
        sta bit_byte
        ldy #0
        sty length+1
literals
        jsr gamma
        lda source
        sta from
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
        asl bit_byte
        bne +
        jsr next_bits
+       bcs new_match
        jsr gamma
        bcc match
new_match
        jsr gamma
        ldx length+1
        bne unpacked_all
        ldx length
        dex
        txa
        lsr a
        sta offset+1
        lda (source),y
        inc source
        bne +
        inc source+1
+       ror a
        sta offset
        jsr gamma_after_first
        inc length
        bne match
        inc length+1
match
        clc
        lda target
        sbc offset
        sta from
        lda target+1
        sbc offset+1
        sta from+1
        jsr copy
        ldy #0
        asl bit_byte
        bne +
        jsr next_bits
+       bcs new_match
        bcc literals
unpacked_all
        rts

        .include "lz_routines.asm"

.if !FADE
; Exchanges colour RAM with the 1024 bytes from colours.
swap_colours
        lda #>colour_ram
        sta target+1
        lda #>colours
; The same of the four pages from A's with those from target+1's.
swap_pages
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
.endif

.if FADE
; Waits for the beam to start a frame (line 0): past line 255 first. PAL
; and NTSC machines both have lines from 256 on.
wait_frame
-       bit vic_control1
        bpl -
-       bit vic_control1
        bmi -
        rts

; Shows step X (0 black .. 8 the picture) of the fade: each colour whose
; rung of the ladder is above the step shows the ladder's colour of the
; step. The screen colours of the step go to fade_screen, colour RAM's
; straight to colour RAM. Keeps X; uses no zero page (a tune may own it).
fade_step
        stx fade_step_now
        ldy #15
-       lda rung,y
        cmp fade_step_now
        beq keep
        bcc keep
        lda ladder,x
        jmp +
keep    tya
+       sta fade_colours,y
        asl a
        asl a
        asl a
        asl a
        sta fade_high_colours,y
        dey
        bpl -
        ; A screen byte's two colours at this step, for each byte.
        ldx #0
-       txa
        and #$0f
        tay
        lda fade_colours,y
        sta fade_scratch
        txa
        lsr a
        lsr a
        lsr a
        lsr a
        tay
        lda fade_high_colours,y
        ora fade_scratch
        sta fade_table,x
        inx
        bne -
        ldy border_colour
        lda fade_colours,y
        sta vic_border
        ldy background
        lda fade_colours,y
        sta vic_background
-       ldy screen,x
        lda fade_table,y
        sta fade_screen,x
        ldy screen+$100,x
        lda fade_table,y
        sta fade_screen+$100,x
        ldy screen+$200,x
        lda fade_table,y
        sta fade_screen+$200,x
        ldy screen+$300,x
        lda fade_table,y
        sta fade_screen+$300,x
        ldy colours,x
        lda fade_colours,y
        sta colour_ram,x
        ldy colours+$100,x
        lda fade_colours,y
        sta colour_ram+$100,x
        ldy colours+$200,x
        lda fade_colours,y
        sta colour_ram+$200,x
        ldy colours+$300,x
        lda fade_colours,y
        sta colour_ram+$300,x
        inx
        bne -
        ldx fade_step_now
        rts

; Each colour's rung: its luminance among the C64's nine levels.
rung    .byte 0, 8, 2, 6, 3, 5, 1, 7, 3, 1, 5, 2, 4, 7, 4, 6
; The colour a rung shows for the colours above it: black, blue, dark
; grey, purple, grey, light red, light grey, yellow, white.
ladder  .byte 0, 6, 11, 4, 12, 10, 15, 7, 1
.endif

.if TUNE
; Unpacks the tune (its stream moved first where the tune would reach it),
; finds the machine by its last line (PAL 311, NTSC 262) and starts the
; tune (the ROMs are out and the vectors set since the start): init with
; the song, and play's interrupt.
start_tune
        ; The tune's stream follows the picture's. Where the tune would
        ; reach it, it moves first, up to stream_to: copied from its end
        ; back, a part page and then whole pages.
        lda source
        sta from
        clc
        lda source+1
        adc stream_length+1
        sta from+1
        lda stream_to
        sta target
        clc
        lda stream_to+1
        adc stream_length+1
        sta target+1
        ldy stream_length
        beq +
-       dey
        lda (from),y
        sta (target),y
        tya
        bne -
+       ldx stream_length+1
        beq moved
move_page
        dec from+1
        dec target+1
-       dey
        lda (from),y
        sta (target),y
        tya
        bne -
        dex
        bne move_page
moved
        lda stream_length       ; 0: it stays
        ora stream_length+1
        beq +
        lda stream_to
        sta source
        lda stream_to+1
        sta source+1
+       lda tune_load
        sta target
        lda tune_load+1
        sta target+1
        jsr unpack

        ldx #0
-       bit vic_control1
        bpl -                   ; line 256 or later
-       lda vic_raster
        cmp #263 - 256
        bcs +                   ; line 263: PAL
        bit vic_control1
        bmi -
        ldx #2                  ; line 0 came first: NTSC
+       stx machine
        lda tune_timing+1,x     ; how play is called, past init's zero page
        pha
        lda tune_timing,x
        pha
        lda tune_song
        jsr call_init
        sei
        pla
        tay
        pla
        bne timer_latch
        tya
        beq raster
        bne timer_on            ; 1: the rate init set
timer_latch
        sty timer_a
        sta timer_a+1
        lda #%00010001          ; load the latch, run on
        sta cia1_control_a
timer_on
        lda #$81
        sta cia1_interrupts
        bne started
raster
        lda #$7f                ; not the KERNAL's timer interrupt
        sta cia1_interrupts
        lda #0                  ; line 0: bit 8 of the compare line, in
        sta vic_raster          ; $d011, is 0 in every value written
        lda #1
        sta vic_irq_mask
started
        cli                     ; (a flag left from before only calls play
        rts                     ; once early)

call_init
        jmp (tune_init)
call_play
        jmp (tune_play)

answer_irq
        pha
        txa
        pha
        tya
        pha
        lda #$ff                ; the raster's interrupt answered
        sta vic_irq_latch
        lda cia1_interrupts     ; and the timer's
        jsr call_play
        pla
        tay
        pla
        tax
        pla
answer_nmi
        rti

; Interrupts off, the SID silent, CIA 1 as the KERNAL sets it on this
; machine, the compare line back at 0.
stop_tune
        sei
        lda #0
        sta vic_irq_mask
        sta vic_raster
        sta sid_volume
        sta sid_control1
        sta sid_control2
        sta sid_control3
        lda #$ff
        sta vic_irq_latch
        lda #$7f
        sta cia1_interrupts
        ldx machine
        lda kernal_latch,x
        sta timer_a
        lda kernal_latch+1,x
        sta timer_a+1
        lda #%00010001
        sta cia1_control_a
        lda #$81
        sta cia1_interrupts
        lda cia1_interrupts
        rts

kernal_latch .word $4025, $4295   ; PAL, NTSC
.endif

        .here
; bitmosaic writes the head after the code: read where the code runs.
head            = *
head_at         = head + (TUNE ? run_at - image : 0)
border_colour   = head_at
tune_load       = head_at + 1
tune_init       = head_at + 5
tune_play       = head_at + 7
tune_song       = head_at + 9
tune_timing     = head_at + 10
stream_to       = head_at + 14  ; where the tune's stream moves
stream_length   = head_at + 16  ; its bytes, 0 where it stays
packed          = head + (TUNE ? 18 : 1)
        .cerror TUNE && head_at + 18 > run_at + $400, "the head is not copied with the code"
        .cerror TUNE && run_at + $400 > colours, "the code reaches the picture"
longest_packed  = unpacked_end - unpacked + 6
        .cerror packed + longest_packed > vic_bank, "the packed data could reach the fade's memory"
