; The release displayer with a fade and a tune: displayer_release.asm.
FADE = true
TUNE = true
BANK = 1
        .include "displayer_release.asm"
