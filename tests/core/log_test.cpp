#include <gtest/gtest.h>

#include <string>

#include <engine/core/Log.h>

using namespace Engine;
using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

TEST(Log, LinesAreTagColonMessage) {
    CaptureStderr();
    Log::Log("WINDOW", "Window created!");
    Log::Log("GL SHADER", "%s shader compile status: %d", "vertex", 1);
    Log::Log("EMPTY", "");
    EXPECT_EQ(GetCapturedStderr(), "WINDOW: Window created!\n"
                                   "GL SHADER: vertex shader compile status: 1\n"
                                   "EMPTY: \n");
}

TEST(Log, WarningsAreRed) {
    CaptureStderr();
    Log::Warn("GL TEXTURE2D", "Could not load image file: %s", "x.png");
    EXPECT_EQ(GetCapturedStderr(),
              "\x1b[0;31mGL TEXTURE2D: Could not load image file: x.png\x1b[0m\n");
}

TEST(Log, ValuesAreNotReadAsFormats) {
    CaptureStderr();
    Log::Log("T", "%s", "100% %s %n");
    EXPECT_EQ(GetCapturedStderr(), "T: 100% %s %n\n");
}

// A file's name can carry what would move the cursor or retitle the
// terminal; a compiler's log has line breaks and tabs of its own.
TEST(Log, ControlCharactersFromValuesAreShownAsQuestionMarks) {
    CaptureStderr();
    Log::Warn("T", "%s", "a\x1b]0;owned\x07" "b\rc\x7f\xc2\x9b" "2J\xc3\xa9 d\n\te");
    EXPECT_EQ(GetCapturedStderr(), "\x1b[0;31mT: a?]0;owned?b?c??2J\xc3\xa9 d\n\te\x1b[0m\n");
}

TEST(Log, LongLinesAreWrittenWhole) {
    std::string longText(5000, 'x');
    CaptureStderr();
    Log::Log("T", "%s", longText.c_str());
    EXPECT_EQ(GetCapturedStderr(), "T: " + longText + "\n");
}

TEST(Log, ErrorWritesTheWarningLineAndExits255) {
    EXPECT_EXIT(Log::Err("SHADER", "Uniform %s does not exist", "u_texPos"),
                ::testing::ExitedWithCode(255),
                "^\x1b\\[0;31mSHADER: Uniform u_texPos does not exist\x1b\\[0m\n$");
}

// Quiet drops the information lines alone, and turned off again brings them back.
TEST(Log, QuietKeepsWarningsAndErrors) {
    CaptureStderr();
    Log::SetQuiet(true);
    Log::Log("WINDOW", "Window created!");
    Log::Warn("AUDIO", "%s", "ran short");
    Log::SetQuiet(false);
    Log::Log("T", "back");
    EXPECT_EQ(GetCapturedStderr(), "\x1b[0;31mAUDIO: ran short\x1b[0m\nT: back\n");
    EXPECT_EXIT((Log::SetQuiet(true), Log::Err("SHADER", "gone")), ::testing::ExitedWithCode(255),
                "SHADER: gone");
}
