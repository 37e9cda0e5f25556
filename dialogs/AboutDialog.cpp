#include "dialogs/AboutDialog.h"
#include "resource.h"

int RunAboutDialog(HINSTANCE instance, HWND owner)
{
    AboutDialog about;
    return (int)about.Run(instance, IDD_ABOUT, owner);
}
