// The settings procedure, the plugin query and attach/detach, called
// directly against the recording host.
#include <gtest/gtest.h>

#include "plugin/plugin.h"
#include "tests/support/recording_host.h"

namespace {

using recording::answers;

const uint32_t untouched = 0xDEADBEEF;

// Attach with TIMB's version `version`, its standard error captured. The
// add-on is detached first, as a fresh load would find it.
int AttachWithVersion(uint32_t version, std::string *errorOutput) {
    DetachAddOn();
    recording::Reset();
    answers.version = version;
    testing::internal::CaptureStderr();
    int result = AttachAddOn();
    *errorOutput = testing::internal::GetCapturedStderr();
    return result;
}

class Entry : public ::testing::Test {
protected:
    void SetUp() override {
        std::string ignored;
        ASSERT_EQ(AttachWithVersion(0x02040000, &ignored), 1);
        recording::Reset();
    }
    void TearDown() override {
        std::string ignored;
        AttachWithVersion(0x02040000, &ignored);
    }
};

uint32_t Load(uint32_t option) {
    uint32_t value = untouched;
    EXPECT_EQ(plugin::SettingsProc(option, 0, &value), 1) << std::hex << option;
    return value;
}

void Store(uint32_t option, uint32_t value) { EXPECT_EQ(plugin::SettingsProc(option, 0x1, &value), 1); }

TEST_F(Entry, SettingsStoreAndLoadWholeValuesWithoutAnyRangeTest) {
    uint32_t first = Load(0x11000), second = Load(0x11001);
    uint32_t other = second;
    for (uint32_t value : {0u, 1u, 48000u, 0x80000000u, 0xFFFFFFFFu}) {
        Store(0x11000, value);
        EXPECT_EQ(Load(0x11000), value);
        EXPECT_EQ(Load(0x11001), other) << "the settings are independent";
        other = value ^ 0x5A5A;
        Store(0x11001, other);
        EXPECT_EQ(Load(0x11001), other);
        EXPECT_EQ(Load(0x11000), value);
    }
    // Flag bits other than 0x1 and 0x2 do not matter.
    uint32_t value = 777;
    EXPECT_EQ(plugin::SettingsProc(0x11000, 0x1 | 0xFFFFFFF0, &value), 1);
    value = untouched;
    EXPECT_EQ(plugin::SettingsProc(0x11000, 0xFFFFFFFC, &value), 1);
    EXPECT_EQ(value, 777u);
    Store(0x11000, first);
    Store(0x11001, second);
}

TEST_F(Entry, SettingsRefuseOtherOptionsAndFlagTwoWithoutTouchingTheValue) {
    struct Case {
        uint32_t option, flags;
    };
    const Case refusals[] = {
        {0x11000, 0x2}, {0x11001, 0x2}, {0x11001, 0x3}, {0x11000, 0xFFFFFFFF},
        {0x11002, 0},   {0x11002, 0x1}, {0x10FFF, 0},   {0, 0},
        {0x21000, 0},   {0x11000 | 0x10000000, 0x1}, {0xFFFFFFFF, 0x1},
    };
    uint32_t first = Load(0x11000), second = Load(0x11001);
    for (const Case &c : refusals) {
        uint32_t value = untouched;
        EXPECT_EQ(plugin::SettingsProc(c.option, c.flags, &value), 0)
            << std::hex << "option 0x" << c.option << ", flags 0x" << c.flags;
        EXPECT_EQ(value, untouched) << std::hex << "option 0x" << c.option << ", flags 0x" << c.flags;
    }
    EXPECT_EQ(Load(0x11000), first);
    EXPECT_EQ(Load(0x11001), second);
    EXPECT_TRUE(recording::Calls().empty()) << "settings never call TIMB";
}

TEST_F(Entry, PluginQueryAnswersTheFormatRecordAndTheCreateProcedure) {
    const PluginInfo *info = (const PluginInfo *)TIMBplugin(0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->version, 0x02040000u);
    ASSERT_EQ(info->formatCount, 1u);
    EXPECT_EQ(info->formats[0].type, 0x13000u);
    EXPECT_STREQ(info->formats[0].name, "FLV AudioStream");
    EXPECT_STREQ(info->formats[0].filter, "*.flv");
    EXPECT_EQ(TIMBplugin(0), info) << "the same record every time";
    EXPECT_EQ(TIMBplugin(1), reinterpret_cast<const void *>(&CreateFlvStream));
    for (uint32_t query : {2u, 3u, 0x100u, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_EQ(TIMBplugin(query), nullptr) << query;
    EXPECT_TRUE(recording::Calls().empty());
}

TEST_F(Entry, AttachAcceptsVersionTwoFourWhateverItsLowHalf) {
    for (uint32_t version : {0x02040000u, 0x02040001u, 0x0204FFFFu, 0x02048000u}) {
        std::string errors;
        EXPECT_EQ(AttachWithVersion(version, &errors), 1) << std::hex << version;
        EXPECT_EQ(errors, "") << std::hex << version;
        std::vector<recording::Call> expected = {
            {"TIMB_GetVersion", {}},
            {"ManageSettingsProc", {(uint64_t)(uintptr_t)(const void *)plugin::SettingsProc, 0}}};
        EXPECT_EQ(recording::Calls(), expected) << std::hex << version;
        EXPECT_NE(TIMBplugin(0), nullptr);
    }
}

TEST_F(Entry, AttachRefusesOtherVersionsWithTheMessageAndOffersNothing) {
    for (uint32_t version : {0x02030000u, 0x0205FFFFu, 0x03040000u, 0x00000204u, 0x01040000u, 0xFFFFFFFFu, 0u}) {
        std::string errors;
        EXPECT_EQ(AttachWithVersion(version, &errors), 0) << std::hex << version;
        EXPECT_NE(errors.find("Incorrect TIMB.DLL version (2.4 is required)"), std::string::npos) << errors;
        EXPECT_NE(errors.find("TIMB_FLV"), std::string::npos) << errors;
        EXPECT_EQ(recording::CallNames(), std::vector<std::string>{"TIMB_GetVersion"}) << std::hex << version;
        // The add-on now refuses all work without calling TIMB.
        for (uint32_t query : {0u, 1u, 2u})
            EXPECT_EQ(TIMBplugin(query), nullptr);
        recording::Reset();
        EXPECT_EQ(TIMB_FLV_StreamCreateFile(0, "clip.flv", 0, 0, 0), 0u);
        EXPECT_EQ(TIMB_FLV_StreamCreateURL("http://example.invalid/", 0, 0, nullptr, nullptr), 0u);
        FileProcTable procs = {};
        EXPECT_EQ(TIMB_FLV_StreamCreateFileUser(0, 0, &procs, nullptr), 0u);
        DetachAddOn();
        EXPECT_TRUE(recording::Calls().empty()) << "detach removes only what attach added";
    }
}

TEST_F(Entry, DetachWithdrawsTheSettingsProcedureOnce) {
    recording::Reset();
    DetachAddOn();
    std::vector<recording::Call> expected = {
        {"ManageSettingsProc", {(uint64_t)(uintptr_t)(const void *)plugin::SettingsProc, 1}}};
    EXPECT_EQ(recording::Calls(), expected);
    DetachAddOn();
    EXPECT_EQ(recording::Calls(), expected) << "a second detach has nothing left to withdraw";
    EXPECT_EQ(TIMBplugin(0), nullptr);
}

} // namespace
