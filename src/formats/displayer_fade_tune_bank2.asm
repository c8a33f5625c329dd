; The release displayer with a fade and a tune, the picture in bank 2: displayer_release.asm.
FADE = true
TUNE = true
BANK = 2
        .include "displayer_release.asm"
