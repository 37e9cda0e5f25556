// The scoped GDI helpers give back what they took on leaving their scope.
#include <gtest/gtest.h>
#include "settings/GdiScope.h"

TEST(GdiScope, SelectionsGoBackAndMadeObjectsAreDeleted)
{
    MemoryDc dc;
    ASSERT_TRUE(dc.Create(NULL));
    HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_FONT);
    GdiObject<HFONT> font;
    font.Reset(CreateFontW(14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    ASSERT_TRUE(font.Get() != NULL);
    {
        SelectedObject selected(dc.Get(), font.Get());
        EXPECT_TRUE(selected.Selected());
        EXPECT_EQ((HGDIOBJ)font.Get(), GetCurrentObject(dc.Get(), OBJ_FONT));
        // No object (a view without a font of its own): the DC keeps its own.
        SelectedObject none(dc.Get(), NULL);
        EXPECT_FALSE(none.Selected());
        EXPECT_EQ((HGDIOBJ)font.Get(), GetCurrentObject(dc.Get(), OBJ_FONT));
    }
    EXPECT_EQ(original, GetCurrentObject(dc.Get(), OBJ_FONT));

    HFONT made = font.Get();
    font.Reset(NULL);
    EXPECT_EQ(0u, (unsigned)GetObjectType(made));
    HDC memory = dc.Get();
    dc.Reset(NULL);
    EXPECT_EQ(0u, (unsigned)GetObjectType(memory));
}
