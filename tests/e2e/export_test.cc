// export and the formats of import through the real binary: the format
// chosen by the destination's extension or --format, the file named after
// the format, the refusals that write nothing, and the way back in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/picture_formats.h"
#include "support/run_tool.h"
#include "support/tool_folder.h"
#include "test_card.h"

namespace bitmosaic {
namespace {

using testing::error_usage;
using testing::read_file;
using testing::ToolResult;
using testing::write_file;
using testing::write_picture;

class ExportCommand : public testing::ToolFolderTest {
 protected:
  void SetUp() override { write_picture(dir_.file("card.kla"), make_test_card()); }

  std::string card() const { return *read_file(dir_.file("card.kla")); }
};

TEST_F(ExportCommand, TheDestinationsExtensionNamesTheFormatAndImportReadsItBack) {
  const ToolResult exported = run({"export", "card.kla", "card.ocp"});
  EXPECT_EQ(0, exported.status) << exported.err;
  EXPECT_EQ("Writing Advanced Art Studio picture, load address $2000, 10018 bytes\n"
            "Saving...\nDone.\n",
            exported.out);
  const ToolResult imported = run({"import", "card.ocp", "back.kla"});
  EXPECT_EQ(0, imported.status) << imported.err;
  EXPECT_EQ("Advanced Art Studio picture, load address $2000\nSaving...\nDone.\n", imported.out);
  EXPECT_EQ(card(), read_file(dir_.file("back.kla")));
}

TEST_F(ExportCommand, EveryWrittenFormatComesBackThroughImport) {
  // The test card shows many colour-RAM colours: the one-colour formats
  // refuse it (see the refusals below).
  for (const PictureFormat& format : picture_formats()) {
    if (format.read_only || format.packing == Packing::displayer ||
        format.layout.colour_ram_spread == Spread::all_cells ||
        format.layout.background == kNowhere)
      continue;
    const std::string file = std::string("p") + new_file_suffix(format);
    const std::string option = "--format=" + std::string(format.name);
    const ToolResult exported = run({"export", "card.kla", file, option});
    ASSERT_EQ(0, exported.status) << format.name << ": " << exported.err;
    const ToolResult imported = run({"import", file, "back.kla", option});
    ASSERT_EQ(0, imported.status) << format.name << ": " << imported.err;
    EXPECT_EQ(card(), read_file(dir_.file("back.kla"))) << format.name;
  }
}

TEST_F(ExportCommand, FormatAloneNamesTheFileAfterTheFormatAndNeverReplacesOne) {
  const ToolResult first = run({"export", "--format=gg", "card.kla"});
  EXPECT_EQ(0, first.status) << first.err;
  EXPECT_EQ(0u, first.out.find("Destination file set to 'card.gg'.\n"
                               "Writing Packed Koala picture of "));
  const std::string packed = *read_file(dir_.file("card.gg"));
  write_picture(dir_.file("other.kla"), make_disc());
  const ToolResult again = run({"export", "other.kla", "card.gg"});
  EXPECT_EQ(0, again.status);  // named: replaced
  write_file(dir_.file("card.gg"), packed);
  const ToolResult refused = run({"export", "card.kla", "--format=gg"});
  EXPECT_EQ(1, refused.status);
  EXPECT_EQ("ERROR: File 'card.gg' exists; name it as the destination to replace it.",
            refused.err);
  EXPECT_EQ(packed, read_file(dir_.file("card.gg")));
}

TEST_F(ExportCommand, RefusalsWriteNothing) {
  const std::string written = format_names(FormatUse::written);
  struct Refusal {
    std::vector<std::string> arguments;
    std::string error;
  } refusals[] = {
      {{"export", "card.kla"},
       "ERROR: export needs a destination or --format=NAME; formats: " + written + "."},
      {{"export", "card.kla", "card.xyz"},
       "ERROR: Destination 'card.xyz' is named like no format; name one with --format=NAME: " +
           written + "."},
      {{"export", "card.kla", "--format=pcx"},
       "ERROR: Unknown format 'pcx'; formats: " + written + "."},
      {{"export", "card.kla", "card.zom"},
       "ERROR: bitmosaic reads Zoomatic pictures (zoomatic) but does not write them; formats: " +
           written + "."},
      {{"export", "card.kla", "card.pmg"},
       "ERROR: Picture 'card.kla' does not fit Paint Magic, which holds one colour-RAM colour for "
       "all cells: cell col 6, row 0 shows 10 [pink] with bit pair 11, cell col 2, row 0 shows 9 "
       "[brown]."},
      {{"export", "card.kla", "card.rp"},
       "ERROR: Picture 'card.kla' does not fit Rainbow Painter, whose background is always "
       "black: cell col 0, row 0 shows the background 6 [blue]."},
      {{"export", "card.kla", "card.ocp", "--border=16"},
       "ERROR: Number (16) too high. [Maximum: 15]"},
      {{"import", "card.kla", "out.kla", "--format=pcx"},
       "ERROR: Unknown format 'pcx'; formats: " + format_names(FormatUse::read) + "."},
  };
  for (const Refusal& refusal : refusals) {
    const ToolResult result = run(refusal.arguments);
    EXPECT_EQ(1, result.status);
    EXPECT_EQ(refusal.error, result.err);
    EXPECT_EQ(error_usage(), result.out);
  }
  EXPECT_EQ(std::vector<std::string>{"card.kla"}, names());
}

TEST_F(ExportCommand, APrgDestinationGetsTheProgramThatShowsThePicture) {
  const ToolResult result = run({"export", "card.kla", "card.prg"});
  EXPECT_EQ(0, result.status) << result.err;
  const std::string program = *read_file(dir_.file("card.prg"));
  EXPECT_EQ("Writing a program that shows the picture, " + std::to_string(program.size()) +
                " bytes, load address $0801\nSaving...\nDone.\n",
            result.out);
  EXPECT_EQ(std::string("\x01\x08", 2), program.substr(0, 2));
  const ToolResult back = run({"import", "card.prg", "back.kla"});
  EXPECT_EQ(0, back.status) << back.err;
  EXPECT_EQ("Program written by bitmosaic (picture)\nSaving...\nDone.\n", back.out);
}

TEST_F(ExportCommand, TheBorderIsTheBackgroundUnlessGiven) {
  ASSERT_EQ(0, run({"export", "card.kla", "a.ocp"}).status);
  ASSERT_EQ(0, run({"export", "card.kla", "b.ocp", "--border=14"}).status);
  // Advanced Art Studio keeps the border at 9000 after the load address.
  EXPECT_EQ(6, read_file(dir_.file("a.ocp"))->at(9002));
  EXPECT_EQ(14, read_file(dir_.file("b.ocp"))->at(9002));
}

TEST_F(ExportCommand, ImportTriesOnlyTheFormatNamed) {
  ASSERT_EQ(0, run({"export", "card.kla", "card.ami"}).status);
  const ToolResult named = run({"import", "--format=ami", "card.ami", "a.kla"});
  EXPECT_EQ(0, named.status) << named.err;
  EXPECT_EQ(0u, named.out.find("Amica Paint picture of ")) << named.out;
  const ToolResult other = run({"import", "--format=drazpaint", "card.ami", "b.kla"});
  EXPECT_EQ(1, other.status);
  EXPECT_EQ("ERROR: File 'card.ami' is not in the format drazpaint (Drazpaint).", other.err);
}

}  // namespace
}  // namespace bitmosaic
