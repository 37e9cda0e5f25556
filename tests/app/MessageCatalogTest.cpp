#include <gtest/gtest.h>
#include "app/MessageCatalog.h"
#include "support/MessageBoxRecorder.h"

TEST(ErrorBox, FormatsTheLastErrorIntoAHandBox)
{
    MessageBoxRecorder boxes;
    SetLastError(5);
    ShowErrorBox(999999);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"PELORA", boxes.Boxes()[0].caption);
    EXPECT_EQ((UINT)MB_ICONHAND, boxes.Boxes()[0].flags);
}
