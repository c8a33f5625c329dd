; The release displayer with a tune: displayer_release.asm.
FADE = false
TUNE = true
BANK = 1
        .include "displayer_release.asm"
