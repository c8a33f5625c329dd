; The release displayer with a fade: displayer_release.asm.
FADE = true
TUNE = false
BANK = 1
        .include "displayer_release.asm"
