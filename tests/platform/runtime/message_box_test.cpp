// What a message box of each style shows and answers, decided once for every dialog.

#include "platform/runtime/message_box.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

using namespace vbmsg;
using enum MessageIcon;

TEST(MessageBoxLayout, DecodesButtonsDefaultEscapeAndIcon) {
    struct Row {
        std::int32_t style;
        std::vector<std::int32_t> answers;
        std::size_t defaultButton;
        std::optional<std::size_t> escapeButton;  // {}: Escape does not close the box
        MessageIcon icon;
    };
    const Row rows[] = {
        {kOKOnly, {kOK}, 0, 0, None},
        {kOKCancel + kDefaultButton2, {kOK, kCancel}, 1, 1, None},
        {kAbortRetryIgnore + kDefaultButton3 + kCritical,
         {kAbort, kRetry, kIgnore},
         2,
         {},
         Critical},
        {kYesNoCancel + kExclamation, {kYes, kNo, kCancel}, 0, 2, Exclamation},
        {kYesNo + kQuestion, {kYes, kNo}, 0, {}, Question},
        {kRetryCancel + kInformation + kDefaultButton2, {kRetry, kCancel}, 1, 1, Information},
        // A default beyond the buttons shown is the first one; unknown button sets show OK only,
        // unknown icons none; modality (4096) changes nothing.
        {kYesNo + kDefaultButton3, {kYes, kNo}, 0, {}, None},
        {kOKOnly + 768, {kOK}, 0, 0, None},
        {9, {kOK}, 0, 0, None},
        {15 + 80, {kOK}, 0, 0, None},
        {kYesNo + 4096, {kYes, kNo}, 0, {}, None},
    };
    for (const Row& row : rows) {
        const MessageBoxLayout layout = messageBoxLayout(row.style);
        EXPECT_EQ(layout.answers, row.answers) << row.style;
        EXPECT_EQ(layout.defaultButton, row.defaultButton) << row.style;
        EXPECT_EQ(layout.escapeButton, row.escapeButton) << row.style;
        EXPECT_EQ(layout.icon, row.icon) << row.style;
    }
}

// Without a window the box is answered by the default button that messageBoxLayout decides.
TEST(MsgBox, WithoutAHandlerAnswersWithTheDefaultButton) {
    const ScopedMessageBoxHandler none{MessageBoxHandler{}};
    EXPECT_EQ(MsgBox("q", kAbortRetryIgnore + kDefaultButton2), kRetry);
}

TEST(PromptLines, CarriageReturnsAloneOrBeforeALineFeedBecomeLineFeeds) {
    EXPECT_EQ(promptLines("a\r\rb\r\nc\n\rd\r"), "a\n\nb\nc\n\nd\n");
}

}  // namespace
}  // namespace kx
