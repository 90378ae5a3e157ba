// The image factory: the extension key of a file name and the reader it makes, decided by the
// name alone.
#include <gtest/gtest.h>

#include <string>

#include "engine/media/mImageAVI.h"
#include "engine/media/mImageBMP.h"
#include "engine/media/mImageDCX.h"
#include "engine/media/mImageFlic.h"
#include "engine/media/mImagePCX.h"
#include "engine/platform/ReportSink.h"
#include "engine/sprite/mSpriteGroup.h"

using platform::ReportSink;

namespace {

std::string keyOf(const char* name) {
    char key[mSpriteGroup::extensionSize] = {'x', 'x', 'x', 'x'};
    mSpriteGroup::fileExtension(name, key);
    return key;
}

TEST(ImageFactory, TheKeyIsUpToThreeUpperCasedCharactersAfterTheFirstDot) {
    EXPECT_EQ(keyOf("scene.flc"), "FLC");
    EXPECT_EQ(keyOf("Scene.Flc"), "FLC");
    EXPECT_EQ(keyOf("a.b.flc"), "B.F");
    EXPECT_EQ(keyOf("archive.old.pcx"), "OLD");
    EXPECT_EQ(keyOf("movie.avi2"), "AVI");
    EXPECT_EQ(keyOf("a.f"), "F");
    EXPECT_EQ(keyOf("ends."), "");
    EXPECT_EQ(keyOf("noextension"), "");
    EXPECT_EQ(keyOf(""), "");
    // Only ASCII letters change case.
    EXPECT_EQ(keyOf("x.\xe4_1"), "\xe4_1");
    EXPECT_EQ(keyOf("dir/sub.dir/name"), "DIR");
}

// Reads nothing past the name's end: the characters behind its terminator are never taken.
TEST(ImageFactory, TheKeyStopsAtTheNamesEnd) {
    const char name[] = {'a', '.', 'b', '\0', 'C', 'D'};
    EXPECT_EQ(keyOf(name), "B");
}

template <class Reader>
void yields(const char* name) {
    SCOPED_TRACE(name);
    ReportSink::Capture capture;
    mSpriteGroup group;
    std::unique_ptr<mImageBitmap> reader = group.createImage(name);
    ASSERT_NE(reader, nullptr);
    EXPECT_NE(dynamic_cast<Reader*>(reader.get()), nullptr);
    // Nothing was opened: none of these files exists.
    EXPECT_EQ(reader->isOpen, 0);
    EXPECT_EQ(capture.count(), 0u);
}

TEST(ImageFactory, KnownKeysMakeTheirReadersWithoutOpeningAnything) {
    yields<mImageFlic>("scene.flc");
    yields<mImageFlic>("SCENE.FLC");
    yields<mImageFlic>("Scene.Flc");
    yields<mImageFlic>("clip.fli");
    yields<mImageBMP>("photo.bmp");
    yields<mImageDCX>("pages.dcx");
    yields<mImageAVI>("video.avi");
    yields<mImagePCX>("image.pcx");
    // A PCX name makes the PCX reader itself, not the DCX reader derived from it.
    mSpriteGroup group;
    EXPECT_EQ(dynamic_cast<mImageDCX*>(group.createImage("image.pcx").get()), nullptr);
}

void refused(const char* name, const char* text) {
    SCOPED_TRACE(name);
    ReportSink::Capture capture;
    mSpriteGroup group;
    EXPECT_EQ(group.createImage(name), nullptr);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mImageBitmap");
    EXPECT_EQ(reports[0].text, text);
    EXPECT_EQ(reports[0].icon, ReportSink::iconHand);
}

TEST(ImageFactory, UnknownKeysAreReportedWithTheKeyAsDetail) {
    refused("notes.txt", "File type error:TXT");
    refused("archive.old.pcx", "File type error:OLD");
    refused("sprites.lod", "File type error:LOD");
    refused("a.f", "File type error:F");
    refused("noextension", "File type error:");
    refused("", "File type error:");
}

}  // namespace
