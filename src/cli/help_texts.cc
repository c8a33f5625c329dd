#include "cli/help_texts.h"

#include <cstdio>
#include <cstring>

namespace bitmosaic {
namespace {

// Each line after the first is printed with "%*c", the field as wide as the
// program name, so that its keyword stands under the "info" of the first line.
constexpr const char* kAlignedUsageLines[] = {
    "%*c del <x1> <y1> <x2> <y2> <src> [<dst>]\n",
    "%*c crop <x1> <y1> <x2> <y2> <src> [<dst>]\n",
    "%*c delv <from> [<to> [<step]] <src> [<dst>]\n",
    "%*c filter <src> [<dst>]\n",
    "%*c move <charsh> <charsv> <src> [<dst>]\n",
    "%*c move(v|h) <chars> <src> [<dst>]\n",
    "%*c insert <x1> <y1> <x2> <y2> <pic1> <pic2> [<dst>]\n",
    "%*c insert(v|h) <chars> <pic1> <pic2> [<dst>]\n",
    "%*c replace <x> <y> <x2> <y2> <pic1> <pic2> [<dst>]\n",
    "%*c replace(v|h) <chars> <pic1> <pic2> [<dst>]\n",
    "%*c merge <pic1> <pic2> [<dst>]\n",
    "%*c mask|imask <src> <mask> [<dst>]\n",
    "%*c examples\n",
    "%*c help\n",
};

constexpr const char* kDetailedHelp =
    "\n"
    "info ......... Show information about the picture [and a specified block/char]\n"
    "del .......... Deletes a rectangle out of the picture (unit is chars) \n"
    "crop ......... Crops a rectangular part out of the picture (unit in chars) \n"
    "<x1y1x2y2> ... Coordinates presenting a character position (x: 0-39, y: 0-24)\n"
    "delv ......... Delete lines <from> to <to> (unit is pixels) \n"
    "<from> ....... Starting line (0-199 pixels) \n"
    "<to> ......... Last line (0-199 pixels), Default is 199 \n"
    "<step> ....... Delete each n-th line (default is 1 which means each line) \n"
    "filter ....... Removes every second koala (=double) pixel within the picture \n"
    "move ......... Move picture horizontally and vertically. \n"
    "<charsh> ..... Negative number moves upwards, positiv one downwards (-24 to 24)\n"
    "<charsv> ..... Negative number moves left, positiv right (-39 to 39 chars)\n"
    "move(v|h)..... Move picture horizontally / vertically \n"
    "insert ....... Inserts pic2 into pic1 at the given rectangle \n"
    "               Insertion of pic2 starts at top left corner (coordinate 0/0) \n"
    "insert(v|h) .. Inserts/appens pic2 after pic1 horizontally / vertically\n"
    "<chars> ...... First row where 2nd pic starts (1-24 chars) \n"
    "replace ...... Replace rectangular region of pic 1 by same region of pic 2. \n"
    "replace(v|h) . Replace pic 1 by pic 2 vertically / horizontally. \n"
    "<chars> ...... First row (1-39 chars) / line (1-24) where 2nd pic is used.\n"
    "merge ........ Merges pic 2 into pic 1 (merge is perfomred grid by grid) \n"
    "merge+ ....... Same as merge (Also uses pixels from pic 1 one on empty lines) \n"
    "               (This will likely cause artifacts) \n"
    "mask ......... Mask (leave pixel only if also a pixel in the mask exists) \n"
    "imask ........ Invert mask (leave pixel only if no pixel in the mask exists)\n"
    "<src> ........ Source Koala file \n"
    "<mask> ....... Mask Koala file \n"
    "<dest> ....... Destination Koala file \n"
    "examples ..... Show examples (with no other options) \n"
    "help ......... Show detailed help \n"
    "\n"
    "Always provide the full file name including extension \n"
    "\n"
    "png .......... Saves any picture import reads as a PNG image (320x200 pixels) \n"
    "show ......... Shows any picture import reads in the terminal (24-bit colours) \n"
    "import ....... Reads a PNG image or a picture of any paint format as <dst> names it \n"
    "export ....... Writes any picture in another format (--format=NAME or <dst>'s extension)\n"
    "convert ...... Converts a PNG, JPEG or GIF image (a photo) into a picture as <dst> names it \n"
    "--dither=..... Dithering of convert (search, floyd, atkinson, bayer4, none...) \n"
    "--scale=...... Shape of convert: fill (default), fit or stretch \n"
    "--background=. Background colour of convert (0-15; default: the best) \n"
    "--palette=.... Palette of png, show, import and convert (pepto, colodore, ...) \n"
    "--format=..... Format export and convert write, import reads (gg, drz, prg, ...; see the manual) \n"
    "--from=....... Format png, show and export read their source as (gg, ocp, ami, ...) \n"
    "--border=..... Border colour (0-15) of export's formats that keep one \n"
    "--fade ....... The .prg fades the picture in and out (import, convert, export) \n"
    "--sid=........ A PSID tune the .prg plays (import, convert, export) \n"
    "-- ........... Ends the options: every word after it is a file name \n";

constexpr const char* kExamples =
    "Examples: \n"
    "\n"
    "BitMosaic info 5 5 pic.kla\n"
    "Show information about the file pic.kla and coordinate 5/5.\n"
    "\n"
    "BitMosaic del 10 5 28 10 pic.kla\n"
    "Deletes within the coordinates from 10/5 to 20/10.\n"
    "\n"
    "bitmosaic crop 10 5 28 10 pic.kla\n"
    "Crops within the coordinates from 10/5 to 28/10.\n"
    "\n"
    "BitMosaic delv 50 100 pic.kla\n"
    "Deletes lines starting from line 50 to 100\n"
    "\n"
    "BitMosaic delv 50 100 2 pic.kla\n"
    "Deletes every 2nd line starting from line 50 to 100\n"
    "\n"
    "BitMosaic filter pic.kla\n"
    "Use filter on pic.kla. Each second koala pixel is deleted.\n"
    "\n"
    "BitMosaic move 5 -2 pic.kla\n"
    "Move pic 5 chars to the right and 2 chars up.\n"
    "\n"
    "BitMosaic movev -3 pic.kla\n"
    "Move pic up 3 lines.\n"
    "\n"
    "BitMosaic movev 4 pic.kla\n"
    "Move pic down 4 lines.\n"
    "\n"
    "BitMosaic insert 10 5 28 20 1.kla 2.kla\n"
    "Inserts pic2 into pic1 within the defined rectangle/frame.\n"
    "\n"
    "BitMosaic insertv 6 pic1.kla pic2.kla\n"
    "Joins pic2 to pic1 starting at char line 6.\n"
    "\n"
    "BitMosaic inserth 12 pic1.kla pic2.kla\n"
    "Joins pic2 to pic1 starting at char column 12.\n"
    "\n"
    "BitMosaic replace 10 5 28 20 1.kla 2.kla\n"
    "Replaces the defined rectangle/frame from pic1 with the same region of pic2.\n"
    "\n"
    "BitMosaic replacev 10 pic1.kla pic2.kla\n"
    "Mixes pic1.kla with pic2.kla.\n"
    "Pic1 is visible until line 10.\n"
    "Pic2 is visible starting after char 10.\n"
    "\n"
    "BitMosaic replaceh 20 pic1.kla pic2.kla\n"
    "Shows left half of pic1 and right half of pic2.\n"
    "\n"
    "BitMosaic merge pic1.kla pic2.kla\n"
    "Puts pic2 over pic1.\n"
    "\n"
    "BitMosaic mask pic.kla mask.kla\n"
    "Applies mask.kla to pic.kla\n"
    "\n"
    "BitMosaic imask pic.kla mask.kla\n"
    "Applies mask.kla to pic.kla inverted (cut out)\n"
    "\n";

constexpr const char* kCredits =
    "Thanks to the first person who suggested merging two pictures!\n"
    "This idea ended up in many more options that have been implemented finally.\n"
    "\n"
    "Many thanks to all the testers for testing the tool so thoroughly\n"
    "during the phase of development. \n"
    "This feature is hidden. Let's see, if you find it. :-p\n";

}  // namespace

void print_usage(const char* name) {
  std::printf("\n");
  std::printf("%s info [<col> <row>] <src> \n", name);
  const int width = static_cast<int>(std::strlen(name));
  for (const char* format : kAlignedUsageLines) std::printf(format, width, ' ');
}

void print_title(const char* name) {
  std::printf("Apply effects on Koala file(s).\n");
  std::printf("(Version: %s)\n", kVersion);
  print_usage(name);
}

void print_detailed_help() { std::fputs(kDetailedHelp, stdout); }

void print_examples() { std::fputs(kExamples, stdout); }

void print_credits() { std::fputs(kCredits, stdout); }

}  // namespace bitmosaic
