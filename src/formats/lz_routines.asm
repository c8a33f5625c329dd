; The LZ decoder's routines that every displayer shares: reading a gamma
; code, the next bit byte, and copying bytes (a literal run or a match).
; Included where the including program wants them; they use its zero page
; names (bit_byte, length, source, from, target).

; A gamma code into length: the bits of a number after its leading 1, each
; after a 1 bit, then a 0 bit. length+1 must be 0. Ends with C clear.
gamma
        asl bit_byte
        bne gamma_after_first
        jsr next_bits
; The same with its first bit already in C.
gamma_after_first
        ldx #1
        stx length
        bcc gamma_done
gamma_bit
        asl bit_byte            ; a bit of the number
        bne +
        jsr next_bits
+       rol length
        rol length+1
        asl bit_byte            ; 1: another bit follows
        bne +
        jsr next_bits
+       bcs gamma_bit
gamma_done
        rts

; The next bit byte: its top bit in C, the 1 from C below its other bits.
; C must be 1 (the last bit byte's 1, just shifted out).
next_bits
        lda (source),y
        inc source
        bne +
        inc source+1
+       rol a
        sta bit_byte
        rts

; Copies length bytes (1 to 65535) from (from) to (target); target moves
; on, from by whole pages, and Y is the bytes of the last page, to be added
; to from. length+1 ends 0.
copy
        ldx length              ; the bytes up to a whole page first
        beq +
        inc length+1
+
-       lda (from),y
        sta (target),y
        iny
        bne +
        inc from+1
        inc target+1
+       dex
        bne -
        dec length+1
        bne -
        tya
        clc
        adc target
        sta target
        bcc +
        inc target+1
+       rts
