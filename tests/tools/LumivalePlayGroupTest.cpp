// lumivale-play with sprite groups: definition files listed and dumped frame by frame, images
// wrapped in groups, LOD files played as their sprites, and every format picked by the
// engine's factory.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/BmpBuilder.h"
#include "tests/support/PngRead.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFile.h"

namespace fs = std::filesystem;
using testing_support::builtProgram;
using testing_support::runCommand;

namespace {

const std::string player = builtProgram("tools/lumivale-play/lumivale-play");
const std::string flicgen = builtProgram("tools/flicgen/flicgen");

// Colour i of the test pictures.
std::vector<uint8_t> colourOf(uint32_t index) {
    return {static_cast<uint8_t>(index * 3), static_cast<uint8_t>(255 - index), 90};
}

// A folder with a 100 by 70 8-bit picture, sheet.bmp, whose pixel (x, y) is colour
// (x / 32) + 4 * (y / 32): each 32 by 32 tile has a colour of its own.
class SheetFolder {
  public:
    SheetFolder() : path(testing_support::uniqueTempPath("-group")) {
        fs::create_directories(path);
        testing_support::BmpPicture picture;
        picture.width = 100;
        picture.height = 70;
        for (uint32_t k = 0; k < 256; ++k) {
            std::vector<uint8_t> rgb = colourOf(k);
            picture.colourTable.insert(picture.colourTable.end(), {rgb[2], rgb[1], rgb[0], 0});
        }
        std::vector<uint32_t> values;
        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 100; ++x)
                values.push_back(static_cast<uint32_t>(x / 32 + 4 * (y / 32)));
        picture.pixels = testing_support::bmpRows(values, 100, 70, 8);
        write("sheet.bmp", testing_support::encodeBmp(picture));
    }
    ~SheetFolder() { fs::remove_all(path); }

    void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(path + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path + "/" + name) << text;
    }
    // Runs the player in this folder.
    testing_support::CommandResult play(const std::string& args) const {
        return runCommand("cd " + path + " && " + player + " " + args);
    }

    std::string path;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(LumivalePlayGroup, InfoListsEveryFrameOfADefinitionFile) {
    SheetFolder folder;
    folder.write("tiles.lod",
                 "// six tiles, then one rectangle with its own origin and time\n"
                 "time 40\nFILE sheet.bmp\nTILE 32,32\n"
                 "ORIGIN 3,4\nTIME 250\nDELTA 1,2,5,6\nRECT 10,10,50,40\nEND\n");
    auto info = folder.play("--info tiles.lod");
    ASSERT_EQ(info.status, 0) << info.output;
    std::vector<std::string> expected;
    for (int k = 0; k < 6; ++k) {
        char line[96];
        std::snprintf(line, sizeof line,
                      "frame=%d width=32 height=32 origin=0,0 time=40 changed=0,0,32,32", k);
        expected.push_back(line);
    }
    expected.push_back("frame=6 width=40 height=30 origin=3,4 time=250 changed=1,2,5,6");
    EXPECT_EQ(linesOf(info.output), expected) << info.output;
}

TEST(LumivalePlayGroup, DumpWritesEveryFrameWholeInFrameOrder) {
    SheetFolder folder;
    folder.write("tiles.lod", "FILE sheet.bmp\nTILE 32,32\nEND\n");
    auto dump = folder.play("--dump out tiles.lod");
    ASSERT_EQ(dump.status, 0) << dump.output;
    for (uint32_t k = 0; k < 6; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/out/frame-%04u.png", k);
        testing_support::RgbPicture frame = testing_support::readPng(folder.path + name);
        ASSERT_EQ(frame.width, 32) << name;
        ASSERT_EQ(frame.height, 32) << name;
        // Tiles in row order: three in the first row, three in the second.
        std::vector<uint8_t> colour = colourOf(k % 3 + 4 * (k / 3));
        std::vector<uint8_t> whole;
        for (int pixel = 0; pixel < 32 * 32; ++pixel)
            whole.insert(whole.end(), colour.begin(), colour.end());
        EXPECT_TRUE(frame.rgb == whole) << name;
    }
    EXPECT_FALSE(fs::exists(folder.path + "/out/frame-0006.png"));
}

TEST(LumivalePlayGroup, APaletteCyclingAnimationKeepsEveryFrameAndRepaintsWhole) {
    SheetFolder folder;
    ASSERT_EQ(
        runCommand(flicgen + " pattern cycle " + folder.path + "/cycle.flc --size 24x16 --frames 5")
            .status,
        0);
    auto info = folder.play("--group --info cycle.flc");
    ASSERT_EQ(info.status, 0) << info.output;
    std::vector<std::string> lines = linesOf(info.output);
    ASSERT_EQ(lines.size(), 5u) << info.output;
    for (const std::string& line : lines)
        EXPECT_NE(line.find("width=24 height=16 origin=0,0"), std::string::npos) << line;
    for (std::size_t k = 1; k < lines.size(); ++k)
        EXPECT_NE(lines[k].find(" changed=0,0,24,16"), std::string::npos) << lines[k];
    EXPECT_EQ(info.output.find("Bad rectangle"), std::string::npos) << info.output;
}

TEST(LumivalePlayGroup, TheEnginesFactoryDecidesTheFormat) {
    SheetFolder folder;
    folder.write("notes.txt", "not a picture\n");
    auto refused = folder.play("--info notes.txt");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("File type error:TXT"), std::string::npos) << refused.output;
    // The first dot counts: this name's key is OLD.
    fs::copy_file(folder.path + "/sheet.bmp", folder.path + "/sheet.old.bmp");
    auto old = folder.play("--info sheet.old.bmp");
    EXPECT_EQ(old.status, 1);
    EXPECT_NE(old.output.find("File type error:OLD"), std::string::npos) << old.output;
    // Folders with dots in their names do not count.
    fs::create_directories(folder.path + "/v1.2");
    fs::copy_file(folder.path + "/sheet.bmp", folder.path + "/v1.2/Sheet.Bmp");
    auto nested = folder.play("--info ./v1.2/Sheet.Bmp");
    EXPECT_EQ(nested.status, 0) << nested.output;
    EXPECT_NE(nested.output.find("size: 100x70"), std::string::npos) << nested.output;
}

TEST(LumivalePlayGroup, ALodFilePlaysAsItsSpriteWithItsScript) {
    SheetFolder folder;
    folder.write("walk.lod",
                 "LABEL 1\nADVANCEFRAME\nMOVEX 2\nIFFRAME 3,2\nLOOP 1\nLABEL 2\nFRAME 0\nLOOP 1\n"
                 "TIME 100\nFILE sheet.bmp\nRECT 0,0,32,32\nRECT 32,0,64,32\nRECT 64,0,96,32\n"
                 "END\n");
    auto run =
        folder.play("--headless --duration 1 --stage 200x40 --trace --snapshot shot.png walk.lod");
    ASSERT_EQ(run.status, 0) << run.output;
    // Frames 1, 2, 0, 1, ... a tenth of a second each, two pixels on with each; each step
    // ends at the loop back to label 1, the first instruction.
    EXPECT_NE(run.output.find("t=100 sprite=0 pc=0 frame=1 x=2 "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("t=300 sprite=0 pc=0 frame=0 x=6 "), std::string::npos) << run.output;
    testing_support::RgbPicture shot = testing_support::readPng(folder.path + "/shot.png");
    ASSERT_EQ(shot.width, 200);
    EXPECT_GT(shot.rgb.size(), 0u);
}

TEST(LumivalePlayGroup, APictureStandsOnAStageLikeAnAnimation) {
    SheetFolder folder;
    auto run = folder.play("--headless --duration 1 --stage 100x70 --snapshot shot.png sheet.bmp");
    ASSERT_EQ(run.status, 0) << run.output;
    testing_support::RgbPicture shot = testing_support::readPng(folder.path + "/shot.png");
    ASSERT_EQ(shot.width, 100);
    ASSERT_EQ(shot.height, 70);
    // The second tile of the second row is colour 5.
    const std::size_t at = (40 * 100 + 40) * 3;
    EXPECT_EQ(std::vector<uint8_t>(shot.rgb.begin() + at, shot.rgb.begin() + at + 3), colourOf(5));
}

TEST(LumivalePlayGroup, TheWalkerExampleListsItsFourTiles) {
    const std::string walker = std::string(LUMIVALE_SOURCE_DIR) + "/docs/walker";
    auto info = runCommand("cd " + walker + " && " + player + " --info walker.lod");
    ASSERT_EQ(info.status, 0) << info.output;
    std::vector<std::string> lines = linesOf(info.output);
    ASSERT_EQ(lines.size(), 4u) << info.output;
    EXPECT_EQ(lines[3], "frame=3 width=32 height=32 origin=0,0 time=100 changed=0,0,32,32");
    auto run = runCommand("cd " + walker + " && " + player +
                          " --headless --duration 7 --trace --stage 288x48 --at 0,8 walker.lod");
    ASSERT_EQ(run.status, 0) << run.output;
    // Sixteen rounds of four frames of four pixels: the last step of the sixteenth round puts
    // it back at the left instead of at 256.
    EXPECT_NE(run.output.find(" x=252 "), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find(" x=256 "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(" frame=0 x=0 "), std::string::npos) << run.output;
}

}  // namespace
