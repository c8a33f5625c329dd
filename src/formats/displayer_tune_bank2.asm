; The release displayer with a tune, the picture in bank 2: displayer_release.asm.
FADE = false
TUNE = true
BANK = 2
        .include "displayer_release.asm"
