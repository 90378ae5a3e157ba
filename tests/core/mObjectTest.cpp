#include "engine/core/mObject.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/platform/Module.h"
#include "engine/platform/ReportSink.h"

using platform::ReportSink;

namespace {

struct Reported {
    std::string caption;
    std::string text;
    uint32_t icon;
};

Reported reportOnce(int32_t severity, int32_t classId, int32_t code, const char* detail) {
    ReportSink::Capture capture;
    mObject object;
    object.report(severity, classId, code, detail);
    auto reports = capture.reports();
    EXPECT_EQ(reports.size(), 1u);
    if (reports.empty()) return {};
    return {reports[0].caption, reports[0].text, reports[0].icon};
}

TEST(mObjectReport, CaptionTextDetailAndIcon) {
    auto r = reportOnce(0, mObject::idFile, mObject::errFileOpen, "a.flc");
    EXPECT_EQ(r.caption, "mFile");
    EXPECT_EQ(r.text, "File open error:a.flc");
    EXPECT_EQ(r.icon, ReportSink::iconHand);

    r = reportOnce(2, 25, 30, nullptr);
    EXPECT_EQ(r.caption, "Unknown Object");
    EXPECT_EQ(r.text, "Unknown Error");
    EXPECT_EQ(r.icon, ReportSink::iconExclamation);
}

TEST(mObjectReport, NegativeIdsAndCodesAreOutOfRange) {
    auto r = reportOnce(0, -1, -1, nullptr);
    EXPECT_EQ(r.caption, "Unknown Object");
    EXPECT_EQ(r.text, "Unknown Error");
    r = reportOnce(0, 19, 21, nullptr);
    EXPECT_EQ(r.caption, "mSpriteGroup");
    EXPECT_EQ(r.text, "Bad ProgInst Value");
}

TEST(mObjectReport, CodeZeroShowsDetailAlone) {
    EXPECT_EQ(reportOnce(0, 0, 0, "LABEL 7").text, "LABEL 7");
    EXPECT_EQ(reportOnce(0, 0, 0, nullptr).text, "");
}

TEST(mObjectReport, DetailIsCutAtFortyCharacters) {
    std::string detail(100, 'x');
    detail[39] = 'y';
    auto r = reportOnce(0, 3, 6, detail.c_str());
    EXPECT_EQ(r.text, "File read error:" + detail.substr(0, 40));
}

TEST(mObjectReport, SeverityChoosesIcon) {
    EXPECT_EQ(reportOnce(0, 0, 1, nullptr).icon, ReportSink::iconHand);
    EXPECT_EQ(reportOnce(1, 0, 1, nullptr).icon, ReportSink::iconQuestion);
    EXPECT_EQ(reportOnce(2, 0, 1, nullptr).icon, ReportSink::iconExclamation);
    EXPECT_EQ(reportOnce(3, 0, 1, nullptr).icon, ReportSink::iconAsterisk);
    EXPECT_EQ(reportOnce(-1, 0, 1, nullptr).icon, ReportSink::iconAsterisk);
}

TEST(mObjectReport, WarningAndErrorUseTheirSeverities) {
    ReportSink::Capture capture;
    mObject object;
    object.reportError(1, 11, nullptr);
    object.reportWarning(1, 11, nullptr);
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].icon, ReportSink::iconHand);
    EXPECT_EQ(reports[1].icon, ReportSink::iconExclamation);
    EXPECT_EQ(reports[1].text, "Bitmap error");
}

TEST(mObjectReport, StringModuleOverridesBuiltInTexts) {
    platform::Module module;
    module.addString(4400 + 3, "Datei");
    module.addString(4400 + 5, std::string(50, 'e'));
    mObject::stringModule = &module;
    auto r = reportOnce(0, 3, 5, "x");
    auto fallback = reportOnce(0, 2, 6, nullptr);
    mObject::stringModule = nullptr;

    EXPECT_EQ(r.caption, "Datei");
    // The loader's limit counts the terminating zero.
    EXPECT_EQ(r.text, std::string(39, 'e') + ":x");
    EXPECT_EQ(fallback.caption, "mDirector");
    EXPECT_EQ(fallback.text, "File read error");
}

TEST(mObjectLifetime, DestroyedWhileHeldWarnsOnce) {
    ReportSink::Capture capture;
    {
        mObject held;
        held.useCount = 2;
    }
    { mObject free; }
    auto reports = capture.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].caption, "mObject");
    EXPECT_EQ(reports[0].text, "Still in use");
    EXPECT_EQ(reports[0].icon, ReportSink::iconExclamation);
}

TEST(mObjectLifetime, CopiesStartUnheld) {
    mObject original;
    original.useCount = 3;
    mObject copy(original);
    EXPECT_EQ(copy.useCount, 0);
    original.useCount = 0;
}

}  // namespace
