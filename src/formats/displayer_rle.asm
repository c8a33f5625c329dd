; The run-length displayer: the program `export pic.prg` wrote before the
; picture inside it was LZ packed (displayer.asm). bitmosaic no longer
; writes it; it assembles it at build time only to know its bytes, so that
; `import` recognises the programs it wrote (displayer_reader.cc). Its code
; must stay byte for byte as it was. What follows its code:
;
;   escape         the byte that starts a run in the packed data
;   border_colour  0..15, the background unless --border named one
;   packed         the 10001 bytes of the Koala picture after its load
;                  address, run-length packed: `escape value count` stands
;                  for `count` copies of `value` (1..255, never 0), every
;                  other byte for itself
;
; It runs from a cold start with the standard ROMs on PAL and NTSC machines:
; it uses documented opcodes only, reads no ROM, and waits for nothing but
; the keyboard. Interrupts stay off while the picture is shown; the keyboard
; is read through CIA 1 directly.
;
; Memory:
;   $0801-$080c  the BASIC line `SYS 2061`
;   $080d-       this code, then escape, border_colour and the packed data
;                (below $3100 for any picture)
;   $4000-$5f3f  the bitmap
;   $5f40-$6710  the picture's screen colours, colour RAM and background as
;                unpacked, before they move to their places
;   $6800-$6be7  the picture's screen colours: the VIC's screen
;   $6c00-$6fe7  the text screen's colour RAM while the picture is shown
;   $fb-$fe      the unpacker's two pointers

        .cpu "6502"             ; documented opcodes only

; The places of the picture
vic_bank        = $4000         ; CIA 2 port A bits 0-1 = %10
bitmap          = vic_bank      ; $d018 bit 3 = 0
screen          = vic_bank + $2800 ; $d018 bits 4-7 = 10
saved_colours   = vic_bank + $2c00

; The Koala data unpacks in file order from the bitmap on, up to below the
; screen.
unpacked            = bitmap
unpacked_screen     = unpacked + 8000
unpacked_colours    = unpacked + 9000
unpacked_background = unpacked + 10000
unpacked_end        = unpacked + 10001
        .cerror unpacked_end > screen, "the unpacked colours reach the screen"

; Zero page bytes that BASIC and the KERNAL leave to programs
source          = $fb           ; next packed byte
target          = $fd           ; next unpacked byte

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

        ; Every register this program writes goes on the stack; they come
        ; back in the reverse order.
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

        ; Nothing half-built shows while the picture is unpacked.
        lda #blank_control1
        sta vic_control1

        ; Unpack the picture to unpacked..unpacked_end. Y stays 0, so
        ; (source),y and (target),y are the pointers themselves.
        lda #<packed
        sta source
        lda #>packed
        sta source+1
        lda #<unpacked
        sta target
        lda #>unpacked
        sta target+1
        ldy #0
unpack
        jsr read_packed
        ldx #1                  ; a byte of its own is a run of one
        cmp escape
        bne put
        jsr read_packed         ; the run's value
        pha
        jsr read_packed         ; its count
        tax
        pla
put
        sta (target),y
        inc target
        bne +
        inc target+1
+       dex
        bne put
        ; Runs end exactly at the end of the data.
        lda target+1
        cmp #>unpacked_end
        bne unpack
        lda target
        cmp #<unpacked_end
        bne unpack

        ; The screen colours to the VIC's screen, the colour-RAM colours to
        ; colour RAM, whose text colours are kept first: 4 x 250 bytes.
        ldx #250
-
        .for part := 0, part < 1000, part += 250
        lda colour_ram + part - 1,x
        sta saved_colours + part - 1,x
        lda unpacked_colours + part - 1,x
        sta colour_ram + part - 1,x
        lda unpacked_screen + part - 1,x
        sta screen + part - 1,x
        .endfor
        dex
        bne -

        ; Show it.
        lda vic_bank_port
        and #%11111100
        ora #vic_bank_bits
        sta vic_bank_port
        lda #show_memory
        sta vic_memory
        lda #show_control2
        sta vic_control2
        lda unpacked_background
        sta vic_background
        lda border_colour
        sta vic_border
        lda #show_control1
        sta vic_control1

        ; Wait for the space bar to go down and up again: a key still held
        ; at READY would be typed by the KERNAL.
        lda #space_column
        sta keyboard_columns
-       lda keyboard_rows
        and #space_row
        bne -
-       lda keyboard_rows
        and #space_row
        beq -

        ; Back: the text screen's colours, then the registers.
        lda #blank_control1
        sta vic_control1
        ldx #250
-
        .for part := 0, part < 1000, part += 250
        lda saved_colours + part - 1,x
        sta colour_ram + part - 1,x
        .endfor
        dex
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

; The next packed byte in A. Y must be 0.
read_packed
        lda (source),y
        inc source
        bne +
        inc source+1
+       rts

; bitmosaic writes these after the code.
escape          = *
border_colour   = * + 1
packed          = * + 2

; The escape byte is the picture's rarest byte value, so it occurs at most
; 10001 / 256 = 39 times, and each costs at most two bytes more than itself.
longest_packed  = 10001 + 2 * 39
        .cerror packed + longest_packed > screen, "the packed data could reach the screen"
